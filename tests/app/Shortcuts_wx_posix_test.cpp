// The shortcut button in the real window: the outcome reaches the status
// bar, and the logo drawn by the toolkit lies beside the copy as a PNG
// picture. HOME and the XDG folders point into a temporary tree.
#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/statusbr.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/App_wx.h"
#include "app/MainForm_wx.h"
#include "app/Shortcuts.h"
#include "app/ShortcutsFixture.h"
#include "support/TestSupport.h"
#include "support/WxTestSupport_wx.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;

// The pointer rests on the button (its hint shows) and clicks it.
TEST(MainFrameShortcut, ClickShowsTheOutcomeInTheStatusBar) {
  test::DisplayLock display;
  test::TempDir home;
  ScopedEnv homeVar("HOME", home.path().string());
  ScopedEnv configHome("XDG_CONFIG_HOME", std::nullopt);
  ScopedEnv dataHome("XDG_DATA_HOME", (home / "data").string());
  ScopedEnv configDirs("XDG_CONFIG_DIRS", (home / "etc").string());
  ReleaseFolderCaches();
  SetShortcutLogoSource(&RenderLogoPng);

  test::ShortcutLaunchSystem launch;
  launch.program = (home / "OrvaneSupport").string();
  test::WriteFileBytes(launch.program, "#!/bin/sh\n");
  TMainFormOptions options;
  options.Arguments = std::vector<std::string>{"OrvaneSupport", "--quiet"};
  options.LaunchSystem = &launch;
  wxWeakRef<TMainFrame> frame = new TMainFrame(std::move(options));
  frame->Show();
  frame->Raise();
  const auto status = [&] { return frame->GetStatusBar()->GetStatusText().utf8_string(); };

  auto* button = wxWindow::FindWindowByName("btnInstallShortcut", frame);
  ASSERT_NE(button, nullptr);
  wxUIActionSimulator pointer;
  pointer.MouseMove(button->GetScreenRect().GetPosition() + button->GetSize() / 2);
  ASSERT_TRUE(test::PumpUntil([&] { return status() == "Create ShortCut To this Assistant on Desktop"; }));
  pointer.MouseClick();
  EXPECT_TRUE(test::PumpUntil([&] {
    return status() == "Shortcut created in the start menu (no desktop folder found)";
  })) << status();

  const fs::path folder = home / "data/Orvane mbH/RemoteSupport";
  EXPECT_TRUE(fs::exists(home / "data/applications/OrvaneSupport.desktop"));
  wxImage logo;
  ASSERT_TRUE(logo.LoadFile((folder / "OrvaneSupport.png").string(), wxBITMAP_TYPE_PNG));
  EXPECT_EQ(logo.GetSize(), wxSize(256, 256));

  frame->Destroy();
  test::PumpUntil([&] { return !frame; });
  SetShortcutLogoSource(nullptr);
  ReleaseFolderCaches();
}

}  // namespace
}  // namespace orvane
