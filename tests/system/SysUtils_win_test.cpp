// Windows-only cases: drive-relative names, non-ASCII names through the
// shell copy, and file stamps under a Windows locale.
#include <windows.h>

#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>

#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::LocalTime;
using test::PathUtf8;
using test::ReadFileBytes;
using test::Utf8Path;
using test::WriteFileBytes;

TEST(CopyFilesWin, NumberedCopyNamesAfterDrivesAndShares) {
  EXPECT_EQ(NumberedCopyName("C:tool.exe", 2), "C:tool (2).exe");
  EXPECT_EQ(NumberedCopyName("C:.profile", 2), "C:.profile (2)");
  EXPECT_EQ(NumberedCopyName("\\\\server\\share.x\\name", 2), "\\\\server\\share.x\\name (2)");
}

// Names travel as UTF-16 to the shell, the chosen free name included.
TEST(CopyFilesWin, NonAsciiNamesAndNumberedCopies) {
  test::TempDir dir;
  const std::string name = "Gr\xC3\xBC\xC3\x9F Gott \xE2\x82\xAC.exe";
  const fs::path source = dir.path() / Utf8Path(name);
  const fs::path dest = dir.path() / Utf8Path("Ziel \xC3\xA4");
  WriteFileBytes(source, "program");
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(CopyFiles(PathUtf8(source), PathUtf8(dest / ""), true)) << i;
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dest)) names.insert(PathUtf8(e.path().filename()));
  EXPECT_EQ(names, (std::set<std::string>{name, "Gr\xC3\xBC\xC3\x9F Gott \xE2\x82\xAC (2).exe"}));
  EXPECT_EQ(ReadFileBytes(dest / Utf8Path(name)), "program");
}

TEST(FileStampWin, DigitsWithoutSeparatorsUnderAWindowsLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "German_Germany.1252"), nullptr);
  const std::string german = std::setlocale(LC_ALL, nullptr);

  EXPECT_EQ(DateTimeToFileStamp(LocalTime(2024, 1, 31, 15, 30, 45)), "20240131_153045");
  EXPECT_EQ(DateTimeToFileStamp(LocalTime(1999, 12, 31, 23, 59, 59)), "19991231_235959");

  EXPECT_EQ(std::setlocale(LC_ALL, nullptr), german);
  std::setlocale(LC_ALL, previous.c_str());
}

}  // namespace
}  // namespace orvane
