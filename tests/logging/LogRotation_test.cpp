#include "logging/LogRotation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "LogFileFixtures.h"
#include "ManualLogTimer.h"
#include "ZipFixtures.h"
#include "logging/LogTextControl.h"
#include "logging/Logging.h"
#include "support/TestSupport.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::FileSettings;
using test::kToolHeader;
using test::MessageLines;
using test::PathText;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;
using test::ZipEntries;

constexpr std::uintmax_t kMiB = 1048576;

// A text control that hands every line to a test's hook.
class HookedControl : public ILogTextControl {
 public:
  bool IsAlive() const override { return true; }
  void InsertFirstLine(const std::string& line) override {
    if (onLine) onLine(line);
  }
  int LineCount() const override { return 0; }
  void DeleteLine(int) override {}
  std::function<void(const std::string&)> onLine;
};

class LogRotationTest : public ::testing::Test {
 protected:
  // File output with debug lines, rotation at 1 MiB, hand-ticked timers.
  TLogSettings Settings(bool compress, int sizeInMB = 1) {
    TLogSettings s = FileSettings(dir.path());
    s.AlwaysShowDebug = true;
    s.EnableLogRotation = true;
    s.CompressOldFiles = compress;
    s.LogFileMaxSizeInMB = sizeInMB;
    s.TimerFactory = timers.Factory();
    return s;
  }
  // Appends one filler line that brings the log file to exactly `size` bytes.
  void GrowTo(std::uintmax_t size) {
    const std::string text = ReadFileBytes(file);
    ASSERT_GE(size, text.size() + 2);
    WriteFileBytes(file, text + std::string(size - text.size() - 2, 'x') + "\r\n");
  }
  void Tick() {
    ASSERT_EQ(timers.Timers().size(), 1u);
    timers.Timers()[0]->Tick();
  }
  // Names in the folder, sorted.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
      names.insert(PathText(entry.path().filename()));
    return names;
  }
  std::string Rotated(int number, const std::string& ext) const {
    return PathText(dir / fmt::format("log_debug_Tool_{:03d}{}", number, ext));
  }
  // The lines ZipFolder adds to the log while archiving it to `archive`.
  std::string ZipLines(const std::string& archive) const {
    const std::string folder = PathText(dir.path());
    std::string lines;
    const std::vector<std::string> texts = {
        "ZipFolder: incl: log_debug_Tool.log excl:  recurse: 0",
        "Search for existing ZIP file: " + archive,
        "ZIP not recursive",
        "Force create object",
        "Set SrcDir: " + folder,
        "Set Target Filename: " + archive,
        "Incl: log_debug_Tool.log | Excl: ",
        "Create zip file",
    };
    for (const auto& text : texts) lines += "(Debug        ): " + text + "\r\n";
    return lines;
  }

  TempDir dir;
  const fs::path file = dir / "log_debug_Tool.log";
  test::TManualLogTimerFactory timers;
};

TEST_F(LogRotationTest, TheTimerRunsOnlyWithFileOutputAndRotation) {
  struct Case {
    bool toFile, rotation;
    std::size_t timers;
  };
  for (const auto& c : std::vector<Case>{{true, true, 1}, {true, false, 0}, {false, true, 0}}) {
    SCOPED_TRACE(std::to_string(c.toFile) + std::to_string(c.rotation));
    test::TManualLogTimerFactory made;
    TLogSettings s = Settings(true);
    s.LogToFile = c.toFile;
    s.EnableLogRotation = c.rotation;
    s.TimerFactory = made.Factory();
    TLogging log(nullptr, "", s);
    ASSERT_EQ(made.Timers().size(), c.timers);
    if (c.timers == 1) {
      EXPECT_EQ(made.Timers()[0]->Interval(), 1000);
      EXPECT_TRUE(made.Timers()[0]->IsRunning());
    }
  }
}

// The whole cycle, driven by the timer: a file of exactly the threshold
// stays, one line more sends it into an archive that holds all of it (the
// archiving lines included), and the next message starts a new file.
TEST_F(LogRotationTest, ZipsTheFullFileAndStartsANewOne) {
  TLogging log(nullptr, "", Settings(true));
  log.Error("first");
  GrowTo(kMiB);
  Tick();
  EXPECT_EQ(Names(), (std::set<std::string>{"log_debug_Tool.log"}));

  log.Error("one line too many");
  const std::string before = ReadFileBytes(file);
  Tick();
  EXPECT_EQ(Names(), (std::set<std::string>{"log_debug_Tool_001.zip"}));
  const std::string archived = before + ZipLines(Rotated(1, ".zip"));
  EXPECT_EQ(ZipEntries(Rotated(1, ".zip")),
            (std::map<std::string, std::string>{{"log_debug_Tool.log", archived}}));

  log.Error("after");
  EXPECT_EQ(ReadFileBytes(file), std::string(kToolHeader) + "(Fehler       ): after\r\n");
  GrowTo(kMiB + 1);
  Tick();
  EXPECT_EQ(Names(), (std::set<std::string>{"log_debug_Tool_001.zip", "log_debug_Tool_002.zip"}));
}

// Rotation archives the log by its name, never reading the name as a mask:
// a ";" would split it into masks that pick other files ("keep",
// "app_Tool.log") or none at all, and the log would grow on, failing every
// second. Names that other file names match as masks stand beside it.
TEST(LogRotation, ArchivesExactlyTheLogFileWhateverItsName) {
  struct Case {
    const char* base;
    std::vector<std::string> bystanders;
  };
  for (const Case& c : {Case{"keep;app", {"keep", "app_Tool.log"}}, Case{"x;y", {}},
                        Case{"app[1]", {"app1_Tool.log"}}, Case{"a b;c", {"a b", "c_Tool.log"}}}) {
    test::ExpectRotationArchivesOnlyTheLog(c.base, c.bystanders);
  }
}

TEST_F(LogRotationTest, MovesTheFullFileWhenNotCompressing) {
  TLogging log(nullptr, "", Settings(false));
  log.Error("first");
  GrowTo(kMiB + 1);
  const std::string before = ReadFileBytes(file);
  Tick();
  EXPECT_EQ(Names(), (std::set<std::string>{"log_debug_Tool_001.log"}));
  EXPECT_EQ(ReadFileBytes(Rotated(1, ".log")), before);
  log.Error("after");
  EXPECT_EQ(MessageLines(file), (std::vector<std::string>{"(Fehler       ): after"}));
}

// The lowest free number; anything at a name holds it, and archives and
// moved files are numbered each on their own.
TEST_F(LogRotationTest, TakesTheLowestFreeNumberOfItsKind) {
  struct Case {
    bool compress;
    std::vector<std::string> present;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {true, {}, "log_debug_Tool_001.zip"},
      {true, {"log_debug_Tool_001.zip"}, "log_debug_Tool_002.zip"},
      {true, {"log_debug_Tool_002.zip"}, "log_debug_Tool_001.zip"},
      {true, {"log_debug_Tool_001.log", "log_debug_Tool_002.log"}, "log_debug_Tool_001.zip"},
      {true, {"log_debug_Tool_001.zip/"}, "log_debug_Tool_002.zip"},
      {false, {"log_debug_Tool_001.zip"}, "log_debug_Tool_001.log"},
      {false, {"log_debug_Tool_001.log", "log_debug_Tool_003.log"}, "log_debug_Tool_002.log"},
  };
  for (const auto& c : cases) {
    TempDir caseDir;
    SCOPED_TRACE(c.expected);
    TLogSettings s = Settings(c.compress);
    s.DebugLogFile = PathText(caseDir / "log_debug.log");
    TLogging log(nullptr, "", s);
    log.Error("first");
    const fs::path logFile = caseDir / "log_debug_Tool.log";
    WriteFileBytes(logFile, ReadFileBytes(logFile) + std::string(kMiB, 'x'));
    for (const auto& name : c.present) {
      if (name.back() == '/')
        fs::create_directory(caseDir / name.substr(0, name.size() - 1));
      else
        WriteFileBytes(caseDir / name, "present");
    }
    log.HandleLogRotation();
    EXPECT_TRUE(fs::is_regular_file(caseDir / c.expected));
    EXPECT_FALSE(fs::exists(logFile));
    for (const auto& name : c.present) EXPECT_TRUE(fs::exists(caseDir / name)) << name;
  }
}

// The archive cannot be written: a folder appears at its name while it is
// being made (libzip then cannot put the finished archive in place). The
// obstacle is a folder, not a read-only folder, because the tests also run
// as root, whom file permissions do not stop.
TEST_F(LogRotationTest, AFailedArchiveLeavesTheLogAndNoPartialArchive) {
  auto control = std::make_shared<HookedControl>();
  const fs::path obstacle = Rotated(1, ".zip");
  bool block = true;
  control->onLine = [&](const std::string& line) {
    if (block && line == "(Debug        ): Create zip file") {
      fs::create_directory(obstacle);
      WriteFileBytes(obstacle / "inside", "x");
    }
  };
  TLogging log(control, "", Settings(true));
  log.Error("first");
  GrowTo(kMiB + 1);
  const std::string before = ReadFileBytes(file);
  Tick();
  EXPECT_EQ(Names(), (std::set<std::string>{"log_debug_Tool.log", "log_debug_Tool_001.zip"}));
  EXPECT_TRUE(fs::is_directory(obstacle));
  const std::string after = ReadFileBytes(file);
  ASSERT_EQ(after.substr(0, before.size()), before);
  const auto lines = test::SplitLines(after.substr(before.size()));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines.back().rfind("(Fehler       ): Cannot write ZIP file " + Rotated(1, ".zip"), 0), 0u)
      << lines.back();

  // Obstacle gone: the next tick takes the same number.
  block = false;
  fs::remove_all(obstacle);
  Tick();
  EXPECT_EQ(Names(), (std::set<std::string>{"log_debug_Tool_001.zip"}));
  EXPECT_EQ(ZipEntries(Rotated(1, ".zip")).at("log_debug_Tool.log"), after + ZipLines(Rotated(1, ".zip")));
}

// With all 999 names taken the file stays and keeps growing; one warning
// says so, not one per second. A freed name is used at once, the last one
// included.
TEST_F(LogRotationTest, WarnsOnceWhenEveryNumberIsTaken) {
  for (int n = 1; n <= 999; ++n) WriteFileBytes(Rotated(n, ".log"), "");
  TLogging log(nullptr, "", Settings(false));
  log.Error("first");
  GrowTo(kMiB + 1);
  Tick();
  Tick();
  Tick();
  const auto lines = MessageLines(file);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2],
            "(Warnung      ): Log rotation stopped: log_debug_Tool_001.log to log_debug_Tool_999.log all "
            "exist in " +
                PathText(dir.path()) + "; log_debug_Tool.log keeps growing");
  fs::remove(Rotated(999, ".log"));
  const std::string before = ReadFileBytes(file);
  Tick();
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(ReadFileBytes(Rotated(999, ".log")), before);
}

// A size of 0 or below would rotate every second: the default of 2 MB holds.
TEST_F(LogRotationTest, ASizeOfZeroOrBelowMeansTheDefault) {
  for (int size : {0, -5}) {
    SCOPED_TRACE(size);
    TempDir caseDir;
    test::TManualLogTimerFactory made;
    TLogSettings s = Settings(false, size);
    s.DebugLogFile = PathText(caseDir / "log_debug.log");
    s.TimerFactory = made.Factory();
    TLogging log(nullptr, "", s);
    log.Error("first");
    const fs::path logFile = caseDir / "log_debug_Tool.log";
    WriteFileBytes(logFile, std::string(2 * kMiB, 'x'));
    made.Timers().at(0)->Tick();
    EXPECT_TRUE(fs::exists(logFile));
    WriteFileBytes(logFile, std::string(2 * kMiB + 1, 'x'));
    made.Timers().at(0)->Tick();
    EXPECT_FALSE(fs::exists(logFile));
    EXPECT_TRUE(fs::exists(caseDir / "log_debug_Tool_001.log"));
  }
}

// Sizes and thresholds beyond 32 bits: a 2048 MB threshold, files around it
// (sparse, so they take no disk space).
TEST_F(LogRotationTest, SizesBeyondTwoGiBCompareCorrectly) {
  TLogging log(nullptr, "", Settings(false, 2048));
  log.Error("first");
  fs::resize_file(file, 2048 * kMiB);
  ASSERT_EQ(fs::file_size(file), 2048 * kMiB);
  Tick();
  EXPECT_TRUE(fs::exists(file));
  fs::resize_file(file, 2048 * kMiB + 1);
  Tick();
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(fs::file_size(Rotated(1, ".log")), 2048 * kMiB + 1);
}

TEST(RenameFileNoReplace, NeverReplacesAnExistingFile) {
  TempDir dir;
  WriteFileBytes(dir / "from", "from");
  WriteFileBytes(dir / "taken", "taken");
  EXPECT_FALSE(RenameFileNoReplace(PathText(dir / "from"), PathText(dir / "taken")));
  EXPECT_EQ(ReadFileBytes(dir / "from"), "from");
  EXPECT_EQ(ReadFileBytes(dir / "taken"), "taken");
  EXPECT_TRUE(
      RenameFileNoReplace(PathText(dir / "from"), PathText(dir.path() / test::TextPath("free \xC3\xA4"))));
  EXPECT_FALSE(fs::exists(dir / "from"));
  // A UTF-8 name (checked by size: the test's stream helpers take narrow
  // names, which are ANSI on Windows).
  EXPECT_EQ(fs::file_size(dir.path() / test::TextPath("free \xC3\xA4")), 4u);
}

}  // namespace
}  // namespace orvane
