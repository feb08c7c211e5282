// Where the settings file lives on Windows: one per machine, in the company
// folder below the common application-data folder (the Wine prefix's when
// the tests run under Wine). The file found there is put back afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "logging/LogSettings.h"
#include "logging/Logging.h"
#include "support/LogSettingsFixtures.h"
#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"
#include "system/OSFunctions.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::RunReg;

TEST(LogSettingsWin, TheMachinesFileInTheCommonCompanyFolderIsCreatedWithTheDefaults) {
  const std::string folder = GetApplicationDataFolder(false) + "Orvane mbH\\";
  const std::string expected = folder + "LogSettings.ini";
  test::ScopedFileRestore restore(test::Utf8Path(expected));
  std::error_code ec;
  fs::remove(test::Utf8Path(expected), ec);
  // A folder that is missing is made; one that exists is taken as it is.
  const bool hadFolder = fs::is_directory(test::Utf8Path(folder));
  if (hadFolder && fs::is_empty(test::Utf8Path(folder))) fs::remove(test::Utf8Path(folder), ec);

  EXPECT_EQ(FindLogSettingsFile(), expected);
  EXPECT_TRUE(fs::is_directory(test::Utf8Path(folder)));
  EXPECT_EQ(FindLogSettingsFile(), expected);

  // An older layout's user key goes when the file is rebuilt.
  const std::string key = "HKCU\\Software\\Orvane mbH Tessel\\Logging";
  ASSERT_EQ(RunReg({"add", key, "/v", "Enabled", "/t", "REG_DWORD", "/d", "1", "/f"}), 0u);
  TCmdLineParaHandler c(true, false, {"OrvaneSupport", "--Logging=1"}, "");
  const TLogSettings s = LoadLogSettings(expected, false, ReadLogCmdLineSwitches(c), {});
  EXPECT_TRUE(s.LoggingEnabled);
  EXPECT_TRUE(s.SyslogEnabled);
  EXPECT_EQ(test::ReadFileBytes(test::Utf8Path(expected)), test::kDefaultLogSettingsText);
  EXPECT_EQ(RunReg({"query", key}), 1u);
  // No temporary file is left beside it: it went by rename.
  for (const auto& entry : fs::directory_iterator(test::Utf8Path(folder))) {
    const std::string name = test::PathUtf8(entry.path().filename());
    if (name.rfind("LogSettings.ini", 0) == 0) {
      EXPECT_EQ(name, "LogSettings.ini");
    }
  }
  if (!hadFolder) {
    fs::remove(test::Utf8Path(expected), ec);
    fs::remove(test::Utf8Path(folder), ec);
  }
}

TEST(LogSettingsWin, AnExistingFileIsReplacedWholeByRename) {
  test::TempDir dir;
  const fs::path file = dir / "LogSettings.ini";
  test::WriteFileBytes(file, "[Main]\r\nLogClassScheme=8\r\nEnabled=1\r\n");
  TCmdLineParaHandler c(true, false, {"OrvaneSupport"}, "");
  EXPECT_FALSE(LoadLogSettings(test::PathUtf8(file), false, ReadLogCmdLineSwitches(c), {}).LoggingEnabled);
  EXPECT_EQ(test::ReadFileBytes(file),
            test::DefaultLogSettingsWith({{"Enabled=0", "Enabled=1"},
                                          {"DoSyslog=1", "DoSyslog=0"},
                                          {"AlwaysShowDebugMessages=1", "AlwaysShowDebugMessages=0"}}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace orvane
