// One whole launch in the real window: the start-up fetches the option list
// from a download server on 127.0.0.1, the user picks "remotely_x64" and
// presses start, confirms the message box, the tool is downloaded, verified
// and really started, and the window closes itself.
#include "app/MainForm_wx.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/bmpbuttn.h>
#include <wx/combobox.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/ConfigFile.h"
#include "app/RealLaunchSystem.h"
#include "app/RemoteSupportConfig.h"
#include "support/LoopbackHttpServer.h"
#include "support/StandInTool.h"
#include "support/TestSupport.h"
#include "support/WxTestSupport_wx.h"
#include "system/SHA256.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

constexpr char kX64[] = "Remotely_Desktop-[a735]_x64.exe";

// The real process, shell and version functions, with the program folder
// being the test's working folder (as when started from its own folder).
class ProgramFolderHere : public TRealLaunchSystem {
 public:
  explicit ProgramFolderHere(std::string folder) : fFolder(std::move(folder)) {}
  std::string GetProgramFolder() override { return fFolder; }

 private:
  std::string fFolder;
};

using test::BoxAnswerer;
using test::PumpUntil;

TEST(LaunchWorkflowsWindow, RemotelyIsDownloadedStartedAndTheWindowCloses) {
  test::TempDir dir;
  test::ScopedCwd cwd(dir.path());
  const fs::path marker = dir / "tool-started.txt";

  // The published tool notes its start and its arguments.
  test::TempDir served;
  const test::TStandInTool tool(served / kX64, marker);
  const std::string sha = GetFileSHA256((served / kX64).string());
  test::LoopbackHttpServer server;
  server.ServeFolder(served.path());
  server.Start();
  std::vector<TRemoteSupportItem> items = {
      {"teamviewer", "TeamViewerQS.exe", server.Url("/TeamViewerQS.exe"), "sha", ""},
      {"remotely_x86", "x86.exe", server.Url("/x86.exe"), "sha", ""},
      {"remotely_x64", kX64, server.Url(std::string("/") + kX64), sha, ""},
  };
  WriteConfigFile((served / kConfigFileName).string(), TRemoteSupportConfig(std::move(items), 1));

  ProgramFolderHere launch(dir.path().string() + "/");
  BoxAnswerer boxes;
  TMainFormOptions options;
  options.DownloadBaseUrl = server.Url("");
  options.Arguments = std::vector<std::string>{(dir / "OrvaneSupport").string()};
  options.LaunchSystem = &launch;
  auto* frame = new TMainFrame(std::move(options));
  wxWeakRef<wxFrame> alive(frame);
  frame->Show();
  frame->Raise();
  frame->SetFocus();  // no window manager: the test activates the window

  auto* box = dynamic_cast<wxComboBox*>(wxWindow::FindWindowByName("cbVersion", frame));
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return box->GetCount() == 3; }));
  EXPECT_EQ(box->GetValue(), "remotely_x86");  // the list's default
  box->SetSelection(box->FindString("remotely_x64"));
  EXPECT_TRUE(test::SaveScreenshot(frame, test::ArtifactDir() / "launch.png"));

  auto* start = dynamic_cast<wxBitmapButton*>(wxWindow::FindWindowByName("btnShutdown", frame));
  ASSERT_NE(start, nullptr);
  wxCommandEvent click(wxEVT_BUTTON, start->GetId());
  click.SetEventObject(start);
  start->ProcessWindowEvent(click);

  // The window shows the message's CR LF line breaks as plain line ends.
  EXPECT_THAT(boxes.texts, testing::ElementsAre("Configuration File not Found, Press OK to start download",
                                                "Remotely x64 will start now\nif a warning pops up, allow "
                                                "execution to continue\nShare your Session ID when asked"));
  EXPECT_EQ(GetFileSHA256(kX64), sha);
  EXPECT_TRUE(PumpUntil([&] { return fs::exists(marker); }));
  EXPECT_EQ(test::ReadFileBytes(marker), "");  // started without arguments
  // "Auto Close When Done" is ticked from the start.
  EXPECT_TRUE(PumpUntil([&] { return !alive; }));
  if (alive) alive->Destroy();
}

TEST(LaunchWorkflowsWindow, StartWithNothingToStartSaysSoAndStaysOpen) {
  // The list cannot be fetched at start-up, so the option box keeps its
  // design-time text; then a list arrives and a typed name is none of it.
  test::TempDir dir;
  test::ScopedCwd cwd(dir.path());
  test::TempDir served;
  test::LoopbackHttpServer server;
  server.ServeFolder(served.path());
  server.Start();

  BoxAnswerer boxes;
  TMainFormOptions options;
  options.DownloadBaseUrl = server.Url("");
  options.Arguments = std::vector<std::string>{(dir / "OrvaneSupport").string()};
  auto* frame = new TMainFrame(std::move(options));
  wxWeakRef<wxFrame> alive(frame);
  frame->Show();
  frame->Raise();
  frame->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return boxes.texts.size() == 2; }));  // not found, download failed

  auto* box = dynamic_cast<wxComboBox*>(wxWindow::FindWindowByName("cbVersion", frame));
  ASSERT_NE(box, nullptr);
  const auto press = [&](const char* name) {
    auto* button = dynamic_cast<wxBitmapButton*>(wxWindow::FindWindowByName(name, frame));
    ASSERT_NE(button, nullptr);
    wxCommandEvent click(wxEVT_BUTTON, button->GetId());
    click.SetEventObject(button);
    button->ProcessWindowEvent(click);
  };
  EXPECT_EQ(box->GetValue(), "cbVersion");
  press("btnShutdown");

  std::vector<TRemoteSupportItem> items = {{"remotely_x64", kX64, server.Url("/x64.exe"), "sha", ""}};
  WriteConfigFile((served / kConfigFileName).string(), TRemoteSupportConfig(std::move(items), 0));
  press("btnDownload");
  ASSERT_EQ(box->GetCount(), 1u);
  box->ChangeValue("Remotely_x64");
  press("btnShutdown");

  EXPECT_THAT(std::vector<std::string>(boxes.texts.begin() + 2, boxes.texts.end()),
              testing::ElementsAre("No remote support options are loaded, so nothing can be started.\n"
                                   "Press the download button to fetch the option list again.",
                                   testing::_,  // the re-download's question
                                   "\"Remotely_x64\" is not a remote support option this assistant can "
                                   "start.\nPlease choose one from the list."));
  EXPECT_EQ(server.RequestCount(), 2u);  // the list twice, no tool
  PumpUntil([] { return false; }, 20);
  EXPECT_TRUE(alive);  // "Auto Close When Done" is ticked, but nothing started
  if (alive) alive->Destroy();
}

}  // namespace
}  // namespace orvane
