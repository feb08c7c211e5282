#include "system/SysUtils.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <locale>
#include <set>

#include "support/TestSupport.h"

extern char** environ;

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(UniqueFileName, Shapes) {
  TempDir dir;
  const std::string folder = dir.path().string();
  const struct {
    std::string folder, extension, suffix;
  } cases[] = {
      {folder, "html", ".html"},
      {folder + "/", ".html", ".html"},
      {folder, "", ""},
  };
  for (const auto& c : cases) {
    const std::string name = GetUniqueFileName(c.folder, "help", c.extension);
    const std::string head = folder + "/help";
    ASSERT_EQ(name.size(), head.size() + 5 + c.suffix.size()) << name;
    EXPECT_EQ(name.substr(0, head.size()), head);
    EXPECT_EQ(name.find_first_not_of("0123456789", head.size()),
              c.suffix.empty() ? std::string::npos : head.size() + 5);
    EXPECT_EQ(name.substr(head.size() + 5), c.suffix);
    EXPECT_FALSE(fs::exists(name));
  }
}

std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int h, int m, int s) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = h;
  tm.tm_min = m;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

TEST(FileStamp, DigitsWithoutSeparatorsAndNoLocaleChange) {
  const std::string cLocale = std::setlocale(LC_ALL, nullptr);
  const std::locale cppLocale;
  std::setlocale(LC_ALL, "C.UTF-8");
  std::locale::global(std::locale("C.UTF-8"));
  const std::string before = std::setlocale(LC_ALL, nullptr);

  EXPECT_EQ(DateTimeToFileStamp(LocalTime(2024, 1, 31, 15, 30, 45)), "20240131_153045");
  EXPECT_EQ(DateTimeToFileStamp(LocalTime(2009, 3, 5, 7, 8, 9)), "20090305_070809");
  EXPECT_EQ(DateTimeToFileStamp(LocalTime(1999, 12, 31, 23, 59, 59)), "19991231_235959");

  EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
  EXPECT_EQ(std::locale().name(), "C.UTF-8");
  std::locale::global(cppLocale);
  std::setlocale(LC_ALL, cLocale.c_str());
}

TEST(ForceDirectoryWait, CreatesOneLevelAndCountsPauses) {
  TempDir dir;
  fs::create_directory(dir / "existing");
  const struct {
    fs::path folder;
    int retries;
    int pauses;
    bool exists;
  } cases[] = {
      {dir / "existing", 0, 1, true}, {dir / "existing", 10, 1, true}, {dir / "new", 10, 1, true},
      {dir / "a" / "b", 3, 4, false}, {dir / "c" / "d", -1, 0, false},
  };
  for (const auto& c : cases) {
    int pauses = 0;
    ForceDirectoryWait(c.folder.string(), c.retries, [&](std::chrono::milliseconds d) {
      EXPECT_EQ(d.count(), 100);
      ++pauses;
    });
    EXPECT_EQ(pauses, c.pauses) << c.folder;
    EXPECT_EQ(fs::is_directory(c.folder), c.exists) << c.folder;
  }
}

TEST(CopyFiles, NumberedCopyNames) {
  EXPECT_EQ(NumberedCopyName("/d/tool.exe", 2), "/d/tool (2).exe");
  EXPECT_EQ(NumberedCopyName("/d/a.tar.gz", 3), "/d/a.tar (3).gz");
  EXPECT_EQ(NumberedCopyName("/d/.profile", 2), "/d/.profile (2)");
  EXPECT_EQ(NumberedCopyName("/d.x/name", 2), "/d.x/name (2)");
  EXPECT_EQ(NumberedCopyName("name", 10), "name (10)");
}

class CopyFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(source_, "new program");
    fs::permissions(source_, fs::perms::owner_exec, fs::perm_options::add);
    fs::create_directory(dir_ / "dest");
  }

  // Names in the destination folder, to see that no temporary file is left.
  std::set<std::string> DestNames() {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_ / "dest")) names.insert(e.path().filename().string());
    return names;
  }

  TempDir dir_;
  const fs::path source_ = dir_ / "tool.exe";
};

TEST_F(CopyFilesTest, CopiesIntoNewFolderKeepingTheExecutableBit) {
  const fs::path target = dir_ / "conf" / "RemoteSupport" / "tool.exe";
  ASSERT_TRUE(CopyFiles(source_.string(), target.string(), false));
  EXPECT_EQ(ReadFileBytes(target), "new program");
  EXPECT_NE(fs::status(target).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(CopyFilesTest, ReplacesOrRenamesAnExistingTarget) {
  const fs::path target = dir_ / "dest" / "tool.exe";
  WriteFileBytes(target, "old program");
  ASSERT_TRUE(CopyFiles(source_.string(), target.string(), false));
  EXPECT_EQ(ReadFileBytes(target), "new program");

  WriteFileBytes(target, "old program");
  ASSERT_TRUE(CopyFiles(source_.string(), target.string(), true));
  ASSERT_TRUE(CopyFiles(source_.string(), (dir_ / "dest").string(), true));  // a folder as destination
  EXPECT_EQ(ReadFileBytes(target), "old program");
  EXPECT_EQ(ReadFileBytes(dir_ / "dest" / "tool (2).exe"), "new program");
  EXPECT_EQ(ReadFileBytes(dir_ / "dest" / "tool (3).exe"), "new program");
  EXPECT_EQ(DestNames(), (std::set<std::string>{"tool.exe", "tool (2).exe", "tool (3).exe"}));
}

TEST_F(CopyFilesTest, Failures) {
  EXPECT_FALSE(CopyFiles((dir_ / "missing.exe").string(), (dir_ / "dest" / "x.exe").string(), false));
  EXPECT_FALSE(CopyFiles(source_.string(), "", false));
  // Copying a file onto itself must not destroy it.
  EXPECT_FALSE(CopyFiles(source_.string(), source_.string(), false));
  EXPECT_EQ(ReadFileBytes(source_), "new program");
  EXPECT_EQ(DestNames(), std::set<std::string>{});
}

TEST_F(CopyFilesTest, SameFileWithRenameMakesANumberedCopy) {
  ASSERT_TRUE(CopyFiles(source_.string(), source_.string(), true));
  EXPECT_EQ(ReadFileBytes(dir_ / "tool (2).exe"), "new program");
}

TEST_F(CopyFilesTest, Folders) {
  fs::create_directories(dir_ / "pack" / "sub");
  WriteFileBytes(dir_ / "pack" / "sub" / "f.txt", "f");
  ASSERT_TRUE(CopyFiles((dir_ / "pack").string(), (dir_ / "dest").string(), true));
  ASSERT_TRUE(CopyFiles((dir_ / "pack").string(), (dir_ / "dest").string(), true));
  EXPECT_EQ(ReadFileBytes(dir_ / "dest" / "pack" / "sub" / "f.txt"), "f");
  EXPECT_EQ(ReadFileBytes(dir_ / "dest" / "pack (2)" / "sub" / "f.txt"), "f");
  // A folder copied into itself.
  EXPECT_FALSE(CopyFiles((dir_ / "pack").string(), (dir_ / "pack" / "sub").string(), false));
  EXPECT_FALSE(fs::exists(dir_ / "pack" / "sub" / "pack"));
}

// The installer copies the program over its installed copy, which may be the
// one that is running.
TEST_F(CopyFilesTest, ReplacesARunningProgram) {
  const fs::path target = dir_ / "dest" / "sleep";
  fs::copy_file("/bin/sleep", target);
  pid_t pid = 0;
  char arg0[] = "sleep", arg1[] = "30";
  char* argv[] = {arg0, arg1, nullptr};
  ASSERT_EQ(posix_spawn(&pid, target.c_str(), nullptr, nullptr, argv, environ), 0);
  const bool copied = CopyFiles(source_.string(), target.string(), false);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  ASSERT_TRUE(copied);
  EXPECT_EQ(ReadFileBytes(target), "new program");
}

}  // namespace
}  // namespace orvane
