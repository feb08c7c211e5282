#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "LogFileFixtures.h"
#include "ManualLogTimer.h"
#include "ScopedFileSizeLimit_posix.h"
#include "ZipFixtures.h"
#include "logging/Logging.h"
#include "logging/ZipFolder.h"
#include "support/TestSupport.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::FileSettings;
using test::ReadFileBytes;
using test::ScopedFileSizeLimit;
using test::TempDir;
using test::WriteFileBytes;

// Names differ by letter case here, as the file names do.
TEST(ZipFolder, MasksRespectLetterCase) {
  EXPECT_TRUE(MatchesFileMask("a.log", "*.log"));
  EXPECT_FALSE(MatchesFileMask("A.LOG", "*.log"));
  EXPECT_FALSE(MatchesFileMask("\xC3\x84.log", "\xC3\xA4.log"));
}

// Characters Windows forbids in file names but POSIX allows: "|" separates
// masks, "*" and "?" are wildcards; none of them may reach other files.
TEST(LogRotation, ArchivesExactlyTheLogFileWhateverItsNamePosix) {
  struct Case {
    const char* base;
    std::vector<std::string> bystanders;
  };
  for (const Case& c : {Case{"keep|app", {"keep", "app_Tool.log"}}, Case{"x|y", {}},
                        Case{"app*", {"app_Tool.log", "app-old_Tool.log"}}, Case{"app?", {"appX_Tool.log"}},
                        Case{"*", {"x_Tool.log"}}}) {
    test::ExpectRotationArchivesOnlyTheLog(c.base, c.bystanders);
  }
}

// `unzip -t` (Info-ZIP, the common tool) accepts the archive, and `unzip -p`
// gives back the whole log file under its own name.
TEST(LogRotation, TheArchiveIsAStandardZip) {
  TempDir dir;
  test::TManualLogTimerFactory timers;
  TLogSettings s = FileSettings(dir.path());
  s.AlwaysShowDebug = true;
  s.EnableLogRotation = true;
  s.CompressOldFiles = true;
  s.LogFileMaxSizeInMB = 1;
  s.TimerFactory = timers.Factory();
  TLogging log(nullptr, "", s);
  for (int i = 0; !fs::exists(log.DbgLogFile()) || fs::file_size(log.DbgLogFile()) <= 1048576; ++i)
    log.Error("line " + std::to_string(i) + std::string(200, 'a' + i % 26));
  timers.Timers().at(0)->Tick();
  const fs::path archive = dir / "log_debug_Tool_001.zip";
  ASSERT_TRUE(fs::exists(archive));
  const std::string a = archive.string(), out = (dir / "unzipped").string();
  EXPECT_EQ(std::system(("unzip -tq '" + a + "' >/dev/null").c_str()), 0);
  ASSERT_EQ(std::system(("unzip -p '" + a + "' log_debug_Tool.log > '" + out + "'").c_str()), 0);
  EXPECT_EQ(ReadFileBytes(out), test::ZipEntries(archive).at("log_debug_Tool.log"));
}

// A full disk while the archive is written (here a file-size limit below the
// archive's size): libzip's temporary file goes again, no archive appears,
// the log file stays whole, and the next tick after space returns succeeds.
TEST(LogRotation, AFullDiskWhileArchivingLeavesNothingBehind) {
  TempDir dir;
  test::TManualLogTimerFactory timers;
  TLogSettings s = FileSettings(dir.path());
  s.EnableLogRotation = true;
  s.CompressOldFiles = true;
  s.LogFileMaxSizeInMB = 1;
  s.TimerFactory = timers.Factory();
  TLogging log(nullptr, "", s);
  log.Error("first");
  const fs::path file = dir / "log_debug_Tool.log";
  // Random bytes do not compress: the archive is as large as the file.
  std::mt19937 random(7);
  std::string noise(1048576, '\0');
  for (auto& c : noise) c = static_cast<char>('!' + random() % 90);
  WriteFileBytes(file, ReadFileBytes(file) + noise + "\r\n");
  const std::string before = ReadFileBytes(file);
  {
    ScopedFileSizeLimit limit(64 * 1024);
    timers.Timers().at(0)->Tick();
  }
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) names.insert(entry.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"log_debug_Tool.log"}));
  EXPECT_EQ(ReadFileBytes(file), before);

  timers.Timers().at(0)->Tick();
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(test::ZipEntries(dir / "log_debug_Tool_001.zip").at("log_debug_Tool.log"), before);
  // The error line waited in memory while the log file could not grow; the
  // next message brings it into the new file.
  log.Error("next");
  const auto lines = test::MessageLines(file);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind(
                "(Fehler       ): Cannot write ZIP file " + (dir / "log_debug_Tool_001.zip").string(), 0),
            0u)
      << lines[0];
  EXPECT_EQ(lines[1], "(Fehler       ): next");
}

}  // namespace
}  // namespace orvane
