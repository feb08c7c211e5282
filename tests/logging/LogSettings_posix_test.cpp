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

// A settings file another user could have written names their syslog server
// and log file: it is read for nothing but the defaults, and left as it is.
// The hostile owners need chown (root only).
TEST_F(LogSettingsPosix, ASettingsFileOthersCouldHaveWrittenCountsForNothingButTheDefaults) {
  if (geteuid() != 0) GTEST_SKIP() << "handing a file to another user (chown) needs root";
  const std::string planted =
      DefaultLogSettingsWith({{"Enabled=0", "Enabled=1"},
                              {"DoLogToFile=0", "DoLogToFile=1"},
                              {"DebugLogFile=log_debug.log", "DebugLogFile=/srv/x.log"},
                              {"ServerName=127.0.0.1", "ServerName=192.0.2.7"}});
  const fs::path folder = machineFile.parent_path();
  const fs::path elsewhere = root / "elsewhere.ini";
  constexpr uid_t other = 65534;
  const struct {
    const char* name;
    mode_t fileMode;
    uid_t fileOwner;
    mode_t folderMode;
    uid_t folderOwner;
    bool link;
    std::string reason;  // empty: the file counts
  } cases[] = {
      {"the administrator's file", 0644, 0, 0755, 0, false, ""},
      {"file others may write", 0666, 0, 0755, 0, false,
       machineFile.string() + " can be written by other users (mode 0666)"},
      {"file of another user", 0644, other, 0755, 0, false,
       machineFile.string() + " belongs to another user (uid 65534)"},
      {"folder of another user", 0644, 0, 0755, other, false,
       folder.string() + " belongs to another user (uid 65534)"},
      {"folder others may write", 0644, 0, 0777, 0, false,
       folder.string() + " can be written by other users (mode 0777)"},
      {"link to a file elsewhere", 0644, 0, 0755, 0, true, machineFile.string() + " is a symbolic link"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(machine);
    fs::create_directories(folder);
    WriteFileBytes(c.link ? elsewhere : machineFile, planted);
    if (c.link) fs::create_symlink(elsewhere, machineFile);
    const fs::path real = c.link ? elsewhere : machineFile;
    ASSERT_EQ(chmod(real.c_str(), c.fileMode), 0);
    ASSERT_EQ(chown(real.c_str(), c.fileOwner, 0), 0);
    ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
    ASSERT_EQ(chown(folder.c_str(), c.folderOwner, 0), 0);

    ASSERT_EQ(FindLogSettingsFile(), machineFile.string());
    const TLogSettings s = Start({"OrvaneSupport", "--Logging=1", "--LogToFile=1"});
    if (c.reason.empty()) {
      EXPECT_EQ(s.ServerName, "192.0.2.7");
      EXPECT_EQ(s.DebugLogFile, "/srv/x.log");
      EXPECT_TRUE(s.Notes.empty());
      EXPECT_TRUE(Start().LoggingEnabled);
    } else {
      EXPECT_EQ(s.ServerName, "127.0.0.1");
      EXPECT_EQ(s.ServerPort, 514);
      EXPECT_EQ(s.DebugLogFile, "log_debug.log");
      EXPECT_EQ(s.LogFileMaxSizeInMB, 5);
      EXPECT_EQ(s.Notes, std::vector<std::string>{"Settings file " + machineFile.string() +
                                                  " ignored, defaults used: " + c.reason});
      // Without --Logging the defaults leave logging off.
      EXPECT_FALSE(Start().LoggingEnabled);
    }
    EXPECT_EQ(ReadFileBytes(real), planted);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  }
  fs::remove_all(machine);
}

TEST_F(LogSettingsPosix, TheUsersOwnFileStaysTrustedWhateverTheUmask) {
  // With a umask of 002 a folder made by create_directories would be
  // group-writable, and the next start would not trust it.
  const mode_t previous = umask(002);
  Start();
  umask(previous);
  struct stat st {};
  ASSERT_EQ(stat(userFile.parent_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  ASSERT_EQ(stat(userFile.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  WriteFileBytes(userFile, DefaultLogSettingsWith({{"Enabled=0", "Enabled=1"}}));
  EXPECT_TRUE(Start().LoggingEnabled);
}

}  // namespace
}  // namespace orvane
