// The shell folders, GetTempPathW and the configuration and temporary folder
// overrides in the real registry (written with reg.exe; see
// Registry_win_test.cpp for the registry views).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"
#include "system/OSFunctions.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::RunReg;
using test::ScopedEnv;
using test::TempDir;

TEST(FoldersWin, ShellFoldersExistAndEndWithTheSeparator) {
  const std::string folders[] = {GetApplicationDataFolder(false), GetApplicationDataFolder(true),
                                 GetConfigurationFolder(false), GetConfigurationFolder(true),
                                 GetSystemTempFolder()};
  for (const std::string& folder : folders) {
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\') << folder;
    EXPECT_TRUE(fs::is_directory(test::Utf8Path(folder))) << folder;
  }
  EXPECT_NE(GetApplicationDataFolder(false), GetApplicationDataFolder(true));
  EXPECT_EQ(GetCompanyDataFolder("RemoteSupport", true),
            GetApplicationDataFolder(true) + "Orvane mbH\\RemoteSupport\\");
  EXPECT_EQ(GetCompanyDataFolder("", false), GetApplicationDataFolder(false) + "Orvane mbH\\");
}

TEST(FoldersWin, TemporaryFolderFollowsTmpThenTemp) {
  TempDir dir;
  const std::string first = (dir / "first").string(), second = (dir / "second").string();
  {
    ScopedEnv tmp("TMP", first);
    ScopedEnv temp("TEMP", second);
    EXPECT_EQ(GetSystemTempFolder(), first + "\\");
  }
  ScopedEnv tmp("TMP", std::nullopt);
  ScopedEnv temp("TEMP", second + "\\");
  EXPECT_EQ(GetSystemTempFolder(), second + "\\");
}

TEST(FoldersWin, TrailingSeparatorAndProgramFolder) {
  EXPECT_EQ(AddTrailingBackslash(""), "\\");
  EXPECT_EQ(AddTrailingBackslash("C:\\a"), "C:\\a\\");
  EXPECT_EQ(AddTrailingBackslash("C:\\a\\"), "C:\\a\\");
  const std::string exe = GetExecutablePath();
  ASSERT_GT(exe.size(), 3u);
  EXPECT_EQ(exe.substr(1, 2), ":\\") << exe;
  EXPECT_EQ(GetProgramFolder() + test::PathUtf8(test::Utf8Path(exe).filename()), exe);
}

// Overrides are values under HKLM\Software\Orvane mbH Tessel\ConfDir and
// \TempDir named by the lower-cased path of the program; only this
// program's value is added and removed again.
class FolderOverridesWin : public ::testing::Test {
 protected:
  void SetUp() override { ReleaseFolderCaches(); }
  void TearDown() override {
    for (const char* key : {"ConfDir", "TempDir"}) {
      if (RunReg({"query", Key(key), "/v", exe_}) == 0) {
        EXPECT_EQ(RunReg({"delete", Key(key), "/v", exe_, "/f"}), 0u);
      }
    }
    ReleaseFolderCaches();
  }

  static std::string Key(const std::string& name) { return "HKLM\\Software\\Orvane mbH Tessel\\" + name; }

  const std::string exe_ = LowerCaseText(GetExecutablePath());
};

TEST_F(FolderOverridesWin, ConfigAndTempFolderDefaultsAndOverrides) {
  TempDir dir;
  ScopedEnv tmp("TMP", dir.path().string());
  EXPECT_EQ(GetConfigPath("RemoteSupport"), GetCompanyDataFolder("RemoteSupport", false));
  EXPECT_EQ(GetTempDirectory(), dir.path().string() + "\\");

  ASSERT_EQ(RunReg({"add", Key("ConfDir"), "/v", exe_, "/d", "D:\\my conf", "/f"}), 0u);
  ASSERT_EQ(RunReg({"add", Key("TempDir"), "/v", exe_, "/d", "E:\\temp\\", "/f"}), 0u);
  // Computed once: the overrides count from the next start on.
  EXPECT_EQ(GetConfigPath("RemoteSupport"), GetCompanyDataFolder("RemoteSupport", false));
  ReleaseFolderCaches();
  EXPECT_EQ(GetConfigPath("RemoteSupport"), "D:\\my conf\\");
  EXPECT_EQ(GetTempDirectory(), "E:\\temp\\");
}

}  // namespace
}  // namespace orvane
