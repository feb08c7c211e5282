// POSIX-only cases: the C runtime's locale names and replacing a running
// Linux program.
#include "system/SysUtils.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <locale>

#include "support/TestSupport.h"
#include "system/CopyFilesFixture.h"

extern char** environ;

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::CopyFilesTest;
using test::LocalTime;
using test::ReadFileBytes;

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
