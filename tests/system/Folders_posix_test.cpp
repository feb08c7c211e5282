#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "system/DebugHook.h"
#include "system/OSFunctions.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

using test::ScopedEnv;
using test::TempDir;
using test::WriteFileBytes;

std::vector<std::string> g_log;
void Record(const std::string& text) { g_log.push_back(text); }

// Points every folder source at a fresh temporary tree and empties the caches.
class FoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReleaseFolderCaches();
    g_log.clear();
    std::filesystem::create_directories(dir_ / "etc");
    std::filesystem::create_directories(dir_ / "tmp");
  }
  void TearDown() override {
    SetSystemDebugHook(nullptr);
    ReleaseFolderCaches();
  }

  // Writes the machine-wide override key file.
  void WriteOverride(const std::string& subkey, const std::string& lines) {
    const auto folder = dir_ / "etc" / "Orvane mbH Tessel";
    std::filesystem::create_directories(folder);
    WriteFileBytes(folder / (subkey + ".reg"), lines);
  }

  static std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

  TempDir dir_;
  ScopedEnv configDirs_{"XDG_CONFIG_DIRS", (dir_ / "etc").string() + ":/unused"};
  ScopedEnv dataHome_{"XDG_DATA_HOME", (dir_ / "data").string()};
  ScopedEnv tmpdir_{"TMPDIR", (dir_ / "tmp").string()};
  const std::string exe_ = LowerCaseText(GetExecutablePath());
};

TEST(FolderNames, CompanyDataFolderFollowsXdgVariables) {
  TempDir dir;
  const std::string home = dir.path().string();
  struct Case {
    std::optional<std::string> dataHome, configDirs;
    std::string sub;
    bool perUser;
    std::string expected;
  } cases[] = {
      {std::nullopt, std::nullopt, "", false, "/etc/xdg/Orvane mbH/"},
      {std::nullopt, "relative:/srv/conf/:/other", "RemoteSupport", false,
       "/srv/conf/Orvane mbH/RemoteSupport/"},
      {std::nullopt, "", "", false, "/etc/xdg/Orvane mbH/"},
      {"/data/home", std::nullopt, "Sub", true, "/data/home/Orvane mbH/Sub/"},
      {std::nullopt, std::nullopt, "", true, home + "/.local/share/Orvane mbH/"},
      {"relative/share", std::nullopt, "", true, home + "/.local/share/Orvane mbH/"},
  };
  ScopedEnv homeVar("HOME", home);
  for (const Case& c : cases) {
    ScopedEnv dataHome("XDG_DATA_HOME", c.dataHome);
    ScopedEnv configDirs("XDG_CONFIG_DIRS", c.configDirs);
    EXPECT_EQ(GetCompanyDataFolder(c.sub, c.perUser), c.expected) << c.expected;
  }
}

TEST(FolderNames, TrailingSeparatorAndProgramFolder) {
  EXPECT_EQ(AddTrailingBackslash(""), "/");
  EXPECT_EQ(AddTrailingBackslash("/"), "/");
  EXPECT_EQ(AddTrailingBackslash("/a/b"), "/a/b/");
  EXPECT_EQ(AddTrailingBackslash("/a/b/"), "/a/b/");

  const std::string exe = GetExecutablePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(GetProgramFolder() + std::filesystem::path(exe).filename().string(), exe);
}

// The default is the per-user company folder: the machine-wide one below
// /etc/xdg is not writable for users, and the folder receives a program copy.
TEST_F(FoldersTest, ConfigPathDefaultsToUserCompanyFolderAndIsComputedOnce) {
  SetSystemDebugHook(&Record);
  const std::string expected = (dir_ / "data").string() + "/Orvane mbH/RemoteSupport/";
  EXPECT_EQ(GetConfigPath("RemoteSupport"), expected);
  // Later calls return the first answer whatever they ask for or change.
  WriteOverride("ConfDir", Quoted(exe_) + "=\"/elsewhere\"\n");
  EXPECT_EQ(GetConfigPath("Other"), expected);
  EXPECT_EQ(g_log, (std::vector<std::string>{
                       "First call to function GetConfigPath from: " + exe_,
                       "Check ConfDir regkey in HKLM\\Software\\Orvane mbH Tessel\\ " + exe_,
                       "entry not found, using default config dir: " + expected,
                   }));
}

TEST_F(FoldersTest, ConfigPathOverride) {
  SetSystemDebugHook(&Record);
  // The value name is matched whatever its case; the folder gets its separator.
  std::string upper = exe_;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  WriteOverride("ConfDir", "\"/other/program\"=\"/wrong\"\n" + Quoted(upper) + " = \"/srv/my conf\"\r\n");
  EXPECT_EQ(GetConfigPath("RemoteSupport"), "/srv/my conf/");
  EXPECT_EQ(g_log.back(), "Entry found, set config folder to: /srv/my conf");
}

TEST_F(FoldersTest, ConfigPathIgnoresOverrideOfAnotherType) {
  WriteOverride("ConfDir", Quoted(exe_) + "=dword:00000001\n");
  EXPECT_EQ(GetConfigPath(""), (dir_ / "data").string() + "/Orvane mbH/");
}

TEST_F(FoldersTest, TempDirectoryDefaultOverrideAndCache) {
  SetSystemDebugHook(&Record);
  const std::string systemTemp = (dir_ / "tmp").string() + "/";
  EXPECT_EQ(GetTempDirectory(), systemTemp);
  EXPECT_EQ(g_log, (std::vector<std::string>{
                       "First call to function GetTempDirectory from: " + exe_,
                       "Check TempDir regkey in HKLM\\Software\\Orvane mbH Tessel\\ ",
                       "entry not found, using default temp dir: " + systemTemp,
                   }));

  WriteOverride("TempDir", Quoted(exe_) + "=\"/var/tmp/orvane/\"\n");
  EXPECT_EQ(GetTempDirectory(), systemTemp);  // still the cached answer
  ReleaseFolderCaches();
  g_log.clear();
  EXPECT_EQ(GetTempDirectory(), "/var/tmp/orvane/");
  EXPECT_EQ(g_log.back(), "Entry found, set tempfolder to: /var/tmp/orvane/");
}

TEST_F(FoldersTest, ReportsGoThroughTheInstalledHookOnly) {
  // With the hook installed, the first look-ups report what they found...
  SetSystemDebugHook(&Record);
  EXPECT_FALSE(GetTempDirectory().empty());
  EXPECT_FALSE(GetConfigPath("x").empty());
  EXPECT_FALSE(g_log.empty());

  // ...and once it is removed, the same first look-ups report nowhere.
  SetSystemDebugHook(nullptr);
  ReleaseFolderCaches();
  g_log.clear();
  EXPECT_FALSE(GetTempDirectory().empty());
  EXPECT_FALSE(GetConfigPath("x").empty());
  EXPECT_TRUE(g_log.empty());
}

}  // namespace
}  // namespace orvane
