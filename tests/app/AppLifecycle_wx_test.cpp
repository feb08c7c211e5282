// The program's own start-up and shutdown under X, with real command lines
// and a real settings file: the logging help page in the help dialog before
// any window, and a log switched on from the command line.
#include "app/AppLifecycle.h"

#include <gtest/gtest.h>
#include <wx/weakref.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/MainForm_wx.h"
#include "cmdline/HelpForm_wx.h"
#include "logging/LogSettings.h"
#include "logging/Logging.h"
#include "support/LogSettingsFixtures.h"
#include "support/TestSupport.h"
#include "support/WxTestSupport_wx.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::PumpUntil;
using test::RunAfter;

fs::path Utf8ToPath(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string PathToUtf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

// A first start in a scratch working folder: no settings file yet. On POSIX
// the settings folders are scratch ones too; under Wine the file lives in
// the prefix's common application-data folder and is put back afterwards.
class ProgramStartTest : public testing::Test {
 protected:
  void SetUp() override {
    HelpForm.reset();
    InstallWxHelpView();
    fs::remove(settingsFile);
  }
  void TearDown() override {
    StopProgramUnits();
    SetHelpViewFactory(nullptr);
  }

  test::DisplayLock display;
  test::TempDir dir;
  test::ScopedCwd cwd{dir.path()};
  test::TempDir config;
  test::ScopedEnv machine{"XDG_CONFIG_DIRS", PathToUtf8(config / "machine")};
  test::ScopedEnv user{"XDG_CONFIG_HOME", PathToUtf8(config / "user")};
  const fs::path settingsFile = Utf8ToPath(FindLogSettingsFile());
  test::ScopedFileRestore restore{settingsFile};
};

TEST_F(ProgramStartTest, LoggingHelpShowsItsPageInTheHelpDialogBeforeAnyWindow) {
  test::ScopedProcessArguments args({"OrvaneSupport", "--LoggingHelp"});
  bool modal = false;
  bool noOtherWindow = false;
  wxSize size;
  wxString text;
  bool saved = false;
  RunAfter(100, [&] {
    THelpDialog* dialog = HelpForm ? GetHelpDialog(*HelpForm) : nullptr;
    if (!dialog) return;
    PumpUntil([&] { return dialog->IsShownOnScreen(); }, 100);
    modal = dialog->IsModal();
    noOtherWindow = wxTopLevelWindows.size() == 1;
    size = dialog->GetSize();
    text = dialog->wb1->ToText();
    saved = test::SaveScreenshot(dialog, test::ArtifactDir() / "logging-help.png");
    test::PressKey(dialog, WXK_ESCAPE);
  });
  // Ends a dialog the test failed to close, so that a fault fails instead
  // of hanging.
  auto forced = std::make_shared<bool>(false);
  RunAfter(30000, [forced] {
    if (!HelpForm) return;
    wxWeakRef<THelpDialog> dialog = GetHelpDialog(*HelpForm);
    if (dialog && dialog->IsModal()) {
      *forced = true;
      dialog->EndModal(wxID_ABORT);
    }
  });
  StartProgramUnits({});

  EXPECT_FALSE(*forced) << "Esc did not close the help dialog";
  EXPECT_TRUE(modal);
  EXPECT_TRUE(noOtherWindow);
  EXPECT_EQ(size, wxSize(800, 600));
  EXPECT_TRUE(saved);
  for (const char* part :
       {"Internal Logging Class Help", "--LoggingHelp: This Dialog", "--LogFileMaxSizeInMB: =Size in MB",
        "Orvane LogClassVersion: 202101-1", "LogClassScheme: 9", "ConfigFileName: LogSettings.ini"})
    EXPECT_NE(text.Find(part), wxNOT_FOUND) << part << " in " << text;
  ASSERT_NE(Logger, nullptr);
  EXPECT_FALSE(Logger->LoggingEnabled());
  EXPECT_EQ(test::ReadFileBytes(settingsFile), test::kDefaultLogSettingsText);

  // Shutdown releases the dialog with the toolkit still running.
  StopProgramUnits();
  EXPECT_EQ(HelpForm, nullptr);
  EXPECT_EQ(Logger, nullptr);
}

TEST_F(ProgramStartTest, LoggingSwitchedOnFromTheCommandLineWritesHeaderStartAndEndMessages) {
  const std::vector<std::string> argv = {"OrvaneSupport", "--Logging=1", "--LogToFile=1"};
  test::ScopedProcessArguments args(argv);
  StartProgramUnits({});
  ASSERT_NE(Logger, nullptr);
  EXPECT_EQ(HelpForm, nullptr);

  // The main window comes and goes; with an argument it loads nothing.
  TMainFormOptions options;
  options.DownloadBaseUrl = "http://127.0.0.1:9";
  options.Arguments = argv;
  auto* frame = new TMainFrame(std::move(options));
  wxWeakRef<TMainFrame> alive = frame;
  frame->Show();
  frame->SetFocus();
  PumpUntil([&] { return frame->GetTitle().StartsWith("Orvane Remote Support"); }, 300);
  frame->Close();
  EXPECT_TRUE(PumpUntil([&] { return !alive; }));
  StopProgramUnits();

  const std::string name = Utf8ToPath(GetExecutablePath()).stem().string();
  const fs::path log = dir / ("log_debug_" + name + ".log");
  ASSERT_TRUE(fs::exists(log)) << log;
  const std::string text = test::ReadFileBytes(log);
  EXPECT_EQ(text.rfind(std::string(56, '*') + "\r\n** " + name + " - Logfile ", 0), 0u) << text;
  const std::string prefix = "(" + name + ") : ";
  const auto start = text.find("*\r\n\r\n" + prefix);
  ASSERT_NE(start, std::string::npos) << text;
  const std::string first = text.substr(start + 5, text.find("\r\n", start + 5) - start - 5);
  EXPECT_NE(first.find(": (Debug        ): " + name + "  V"), std::string::npos) << first;
  EXPECT_NE(first.find(" started... | Logging Class: 202101-1"), std::string::npos) << first;
  const auto lastStart = text.rfind("\r\n", text.size() - 3) + 2;
  const std::string last = text.substr(lastStart);
  EXPECT_EQ(last.rfind(prefix, 0), 0u) << last;
  EXPECT_NE(last.find(" exit...\r\n"), std::string::npos) << last;
  // The switches counted for this run only.
  EXPECT_EQ(test::ReadFileBytes(settingsFile), test::kDefaultLogSettingsText);
}

}  // namespace
}  // namespace orvane
