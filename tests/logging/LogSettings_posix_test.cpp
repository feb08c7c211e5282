// Where the settings file lives on POSIX systems: an administrator's file in
// the machine-wide configuration folder, else the user's own below
// XDG_CONFIG_HOME, else the defaults in memory.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cmdline/HelpForm.h"
#include "logging/LogSettings.h"
#include "logging/Logging.h"
#include "support/LogSettingsFixtures.h"
#include "support/TestSupport.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::DefaultLogSettingsWith;
using test::kDefaultLogSettingsText;
using test::ReadFileBytes;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFileBytes;

class LogSettingsPosix : public testing::Test {
 protected:
  TempDir root;
  const fs::path home = root / "home";
  const fs::path machine = root / "etc-xdg";
  ScopedEnv homeVar{"HOME", home.string()};
  ScopedEnv machineVar{"XDG_CONFIG_DIRS", "relative/ignored:" + machine.string() + ":/etc/xdg"};
  ScopedEnv userVar{"XDG_CONFIG_HOME", std::nullopt};
  const fs::path machineFile = machine / "Orvane mbH" / "LogSettings.ini";
  const fs::path userFile = home / ".config" / "Orvane mbH" / "LogSettings.ini";

  // A start with this command line: the decided settings.
  TLogSettings Start(const std::vector<std::string>& args = {"OrvaneSupport"}) {
    TCmdLineParaHandler c(true, false, args, "");
    return LoadLogSettings(FindLogSettingsFile(), false, ReadLogCmdLineSwitches(c), {});
  }
};

TEST_F(LogSettingsPosix, WithoutAnAdministratorsFileEachUserGetsAFileOfTheirOwn) {
  EXPECT_EQ(FindLogSettingsFile(), userFile.string());
  EXPECT_TRUE(fs::is_directory(userFile.parent_path()));
  EXPECT_FALSE(Start().LoggingEnabled);
  EXPECT_EQ(ReadFileBytes(userFile), kDefaultLogSettingsText);
  EXPECT_FALSE(fs::exists(machine));

  // XDG_CONFIG_HOME wins over the home folder; missing folders are made.
  ScopedEnv user("XDG_CONFIG_HOME", (root / "cfg" / "deeper").string());
  EXPECT_EQ(FindLogSettingsFile(), (root / "cfg" / "deeper" / "Orvane mbH" / "LogSettings.ini").string());
  EXPECT_TRUE(fs::is_directory(root / "cfg" / "deeper" / "Orvane mbH"));
}

TEST_F(LogSettingsPosix, AnAdministratorsFileIsReadAndLeftAsItIs) {
  const std::string placed =
      DefaultLogSettingsWith({{"Enabled=0", "Enabled=1"}, {"DoLogToFile=0", "DoLogToFile=1"}});
  fs::create_directories(machineFile.parent_path());
  WriteFileBytes(machineFile, placed);
  fs::permissions(machineFile, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(machineFile.parent_path(), fs::perms::owner_read | fs::perms::owner_exec |
                                                 fs::perms::group_read | fs::perms::group_exec |
                                                 fs::perms::others_read | fs::perms::others_exec);

  EXPECT_EQ(FindLogSettingsFile(), machineFile.string());
  const TLogSettings s = Start({"OrvaneSupport", "--DoSyslog=0"});
  EXPECT_TRUE(s.LoggingEnabled);
  EXPECT_TRUE(s.LogToFile);
  EXPECT_FALSE(s.SyslogEnabled);
  EXPECT_EQ(ReadFileBytes(machineFile), placed);
  EXPECT_FALSE(fs::exists(home));

  // A file the user may not read is no administrator's setting for them.
  if (geteuid() != 0) {
    fs::permissions(machineFile, fs::perms::none);
    EXPECT_EQ(FindLogSettingsFile(), userFile.string());
  }
  fs::permissions(machineFile.parent_path(), fs::perms::owner_all);
  fs::permissions(machineFile, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(LogSettingsPosix, AnOlderAdministratorsFileThatCannotBeWrittenIsUsedInMemory) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders; the rule needs an ordinary user";
  const std::string placed = "[Main]\nLogClassScheme=8\nEnabled=1\nDoLogToFile=1\n";
  fs::create_directories(machineFile.parent_path());
  WriteFileBytes(machineFile, placed);
  fs::permissions(machineFile.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
  // The start that meets an older layout logs only when told to.
  EXPECT_FALSE(Start().LoggingEnabled);
  EXPECT_TRUE(Start({"OrvaneSupport", "--Logging=1"}).LogToFile);
  fs::permissions(machineFile.parent_path(), fs::perms::owner_all);
  EXPECT_EQ(ReadFileBytes(machineFile), placed);
  EXPECT_EQ(std::distance(fs::directory_iterator(machineFile.parent_path()), fs::directory_iterator()), 1);
}

TEST_F(LogSettingsPosix, NothingWritableStillHonoursTheCommandLineAndTheHelpPage) {
  // A plain file where the configuration folder would have to be: no
  // folder can be made below it, whoever runs the test.
  WriteFileBytes(root / "plain", "x");
  ScopedEnv user("XDG_CONFIG_HOME", (root / "plain" / "config").string());
  const std::string path = FindLogSettingsFile();
  EXPECT_EQ(path, (root / "plain" / "config" / "Orvane mbH" / "LogSettings.ini").string());

  const TLogSettings s = Start({"OrvaneSupport", "--Logging=1", "--LogToFile=1", "--LoggingHelp"});
  EXPECT_TRUE(s.LoggingEnabled);
  EXPECT_TRUE(s.SyslogEnabled);
  EXPECT_TRUE(s.LogToFile);
  EXPECT_EQ(s.LogFileMaxSizeInMB, 5);
  EXPECT_TRUE(HelpForm != nullptr);
  EXPECT_EQ(ReadFileBytes(root / "plain"), "x");
  HelpForm.reset();
}

TEST_F(LogSettingsPosix, RebuildingAnOlderLayoutRemovesTheUsersOldRegistryKey) {
  const fs::path key = home / ".config" / "Orvane mbH Tessel" / "Logging.reg";
  const fs::path below = home / ".config" / "Orvane mbH Tessel" / "Logging" / "Sub.reg";
  const fs::path other = home / ".config" / "Orvane mbH Tessel" / "ConfDir.reg";
  for (const fs::path& f : {key, below, other}) {
    fs::create_directories(f.parent_path());
    WriteFileBytes(f, "\"Enabled\"=dword:00000001\n");
  }
  fs::create_directories(userFile.parent_path());
  WriteFileBytes(userFile, kDefaultLogSettingsText);
  Start();
  EXPECT_TRUE(fs::exists(key));  // the current layout touches nothing

  WriteFileBytes(userFile, "[Main]\r\nLogClassScheme=8\r\n");
  Start();
  EXPECT_FALSE(fs::exists(key));
  EXPECT_FALSE(fs::exists(below.parent_path()));
  EXPECT_TRUE(fs::exists(other));
}

}  // namespace
}  // namespace orvane
