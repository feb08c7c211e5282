// The real window with a tampered option list on disk: the list is refused
// at start-up and the option box stays empty, so there is nothing to start.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wx/combobox.h>
#include <wx/weakref.h>

#include <filesystem>

#include "app/ConfigFile.h"
#include "app/ConfigSignature.h"
#include "app/MainForm_wx.h"
#include "support/ScreenCapture.h"
#include "support/SignedListServer.h"
#include "support/TestSupport.h"
#include "support/WxTestSupport_wx.h"
#include "system/EcdsaFixtures.h"

namespace orvane {
namespace {

TEST(ConfigSignatureFrameTest, TamperedListOnStartUpIsRefused) {
  test::DisplayLock display;
  test::TempDir dir;
  test::ScopedCwd cwd{dir.path()};
  std::string tampered = test::kSignedList;
  tampered[tampered.find("alpha")] = 'A';
  test::WriteFileBytes(dir / kConfigFileName, tampered);
  test::WriteFileBytes(dir / "orvanesupport.json.sig", test::kSignature);
  test::SignedListServer server;  // nothing is fetched from it
  test::BoxAnswerer boxes;

  TMainFormOptions options;
  options.DownloadBaseUrl = server.BaseUrl();
  options.Arguments = std::vector<std::string>{(dir / "OrvaneSupport").string()};
  options.ConfigPublicKey = test::kPublicKeyPem;
  auto* frame = new TMainFrame(std::move(options));
  wxWeakRef<TMainFrame> alive(frame);
  frame->Show();
  frame->Raise();
  frame->SetFocus();
  ASSERT_TRUE(test::PumpUntil([&] { return !boxes.texts.empty(); }));
  EXPECT_THAT(boxes.texts, testing::ElementsAre(kConfigNotSignedMessage));
  auto* optionBox = dynamic_cast<wxComboBox*>(wxWindow::FindWindowByName("cbVersion", frame));
  ASSERT_NE(optionBox, nullptr);
  EXPECT_EQ(optionBox->GetCount(), 0u);
  EXPECT_EQ(optionBox->GetValue(), "");
  EXPECT_TRUE(test::SaveScreenshot(frame, test::ArtifactDir() / "config-refused.png"));
  // Nothing was fetched, nothing was written or removed.
  EXPECT_TRUE(server.Targets().empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
  if (alive) alive->Destroy();
  test::PumpUntil([] { return false; }, 5);
}

}  // namespace
}  // namespace orvane
