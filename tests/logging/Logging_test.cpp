#include "logging/Logging.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "LogFileFixtures.h"
#include "OrvaneBuildConfig.h"
#include "support/LogSettingsFixtures.h"
#include "support/RecordingLogControl.h"
#include "support/TestSupport.h"
#include "system/DebugHook.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::FileSettings;
using test::kToolHeader;
using test::MessageLines;
using test::PathText;
using test::ReadFileBytes;
using test::SplitLines;
using test::TempDir;
using test::TextPath;
using test::WriteFileBytes;

// 31 January 2024, 14:30:05 local time.
std::chrono::system_clock::time_point FixedTime() {
  std::tm tm{};
  tm.tm_year = 2024 - 1900;
  tm.tm_mon = 0;
  tm.tm_mday = 31;
  tm.tm_hour = 14;
  tm.tm_min = 30;
  tm.tm_sec = 5;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

using FakeTextControl = test::RecordingLogControl;

// Characters, not bytes, of a UTF-8 text.
std::size_t Characters(const std::string& text) {
  std::size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

// What the logger handed its syslog sink, and where the sink was to send it.
struct SyslogRecord {
  struct Sent {
    int level, facility;
    std::string text;
    friend bool operator==(const Sent&, const Sent&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Sent& s) {
      return os << "<" << s.level << "," << s.facility << "> " << s.text;
    }
  };
  std::vector<Sent> sent;
  std::vector<std::string> made;  // "server:port" per sink made
};

class RecordingSyslogSink : public ILogSyslogSink {
 public:
  explicit RecordingSyslogSink(SyslogRecord& record) : record_(record) {}
  void Send(std::uint8_t level, std::uint8_t facility, const std::string& text) override {
    record_.sent.push_back({level, facility, text});
  }

 private:
  SyslogRecord& record_;
};

TLogSyslogSinkFactory RecordingSyslog(SyslogRecord& record) {
  return [&record](const std::string& server, int port) {
    record.made.push_back(server + ":" + std::to_string(port));
    return std::make_unique<RecordingSyslogSink>(record);
  };
}

TEST(Logging, NewFileStartsWithHeaderAndCarriesBothPrefixes) {
  TempDir dir;
  TLogSettings s = FileSettings(dir.path());
  s.AlwaysShowDebug = true;
  s.PrependDate = true;
  s.AppendExecName = true;
  s.Clock = FixedTime;
  TLogging log(nullptr, "", s);
  log.Debug("Config loaded");
  log.Error("second");

  EXPECT_EQ(log.DbgLogFile(), PathText(dir / "log_debug_Tool.log"));
  EXPECT_EQ(ReadFileBytes(dir / "log_debug_Tool.log"),
            std::string(kToolHeader) +
                "(Tool) : 20240131_143005: (Debug        ): Config loaded\r\n"
                "(Tool) : 20240131_143005: (Fehler       ): second\r\n");
}

TEST(Logging, EveryLevelWritesItsThirteenCharacterTag) {
  TempDir dir;
  TLogSettings s = FileSettings(dir.path());
  s.AlwaysShowDebug = true;
  TLogging log(nullptr, "", s);
  using Op = void (TLogging::*)(const std::string&);
  const std::vector<std::pair<Op, std::string>> cases = {
      {&TLogging::Emergency, "(Notfall      ): m"},     {&TLogging::Alert, "(Alarm        ): m"},
      {&TLogging::Critical, "(Kritisch     ): m"},      {&TLogging::Error, "(Fehler       ): m"},
      {&TLogging::Warning, "(Warnung      ): m"},       {&TLogging::Notice, "(Hinweis      ): m"},
      {&TLogging::Informational, "(Information  ): m"}, {&TLogging::Debug, "(Debug        ): m"},
  };
  std::vector<std::string> expected;
  for (const auto& [op, line] : cases) {
    (log.*op)("m");
    expected.push_back(line);
  }
  EXPECT_EQ(MessageLines(log.DbgLogFile()), expected);
  EXPECT_EQ(log.nTotalErrors, 8);
  EXPECT_EQ(SeverityText(TOrvaneSyslogLvl::slNotice), "Hinweis: Normaler, aber signifikanter Zustand");
}

TEST(Logging, UmlautsAreSpelledOutAndOtherTextKept) {
  TempDir dir;
  TLogging log(nullptr, "", FileSettings(dir.path()));
  // The text is no pattern: "%s" must come through as it is.
  log.Error(
      "Gr\xC3\xB6\xC3\x9F"
      "e \xC3\xA4\xC3\x84\xC3\xBC\xC3\x9C\xC3\xB6\xC3\x96\xC3\x9F 100% %s \xE2\x82\xAC");
  EXPECT_EQ(MessageLines(log.DbgLogFile()),
            std::vector<std::string>{"(Fehler       ): Groesse aeAeueUeoeOess 100% %s \xE2\x82\xAC"});
}

TEST(Logging, ExistingFileIsAppendedWithoutHeader) {
  TempDir dir;
  for (const std::string old : {"old line\r\n", ""}) {
    WriteFileBytes(dir / "log_debug_Tool.log", old);
    TLogging log(nullptr, "", FileSettings(dir.path()));
    log.Warning("new");
    EXPECT_EQ(ReadFileBytes(dir / "log_debug_Tool.log"), old + "(Warnung      ): new\r\n");
  }
}

TEST(Logging, ExecutableAndModuleNamesShapeFileHeaderAndPrefix) {
  static const char* const kUmlautModule =
      "\xC3\x9C"
      "berwachung der Fernwartung f\xC3\xBC"
      "r Ger\xC3\xA4"
      "t X";
  const std::string name39(39, 'N');
  const std::string name41(41, 'L');
  struct Case {
    std::string exe, module, logFile, headerTitle, prefix;
    std::size_t width;  // length of star and box lines
  };
  const std::vector<Case> cases = {
      {"/opt/tool/Tool.exe", "", "log_debug_Tool.log", "** Tool - Logfile", "(Tool) : ", 56},
      // Names without ".exe" are used whole.
      {"/usr/bin/OrvaneSupport", "", "log_debug_OrvaneSupport.log", "** OrvaneSupport - Logfile",
       "(OrvaneSupport) : ", 56},
      {"/x/" + name39 + ".exe", "", "log_debug_" + name39 + ".log", "** " + name39 + " - Logfile",
       "(" + name39 + ") : ", 56},
      {"/x/" + name41 + ".exe", "", "log_debug_" + name41 + ".log", "** " + name41 + " - Logfile",
       "(" + name41 + ") : ", 58},
      {"/opt/tool/Tool.exe", "Updater", "log_debug_Tool.log", "** Updater - Logfile",
       "(Tool:Updater) : ", 56},
      {"/opt/tool/Tool.exe", "tOOL", "log_debug_Tool.log", "** tOOL - Logfile", "(Tool) : ", 56},
      // ".exe" in any case, as a short path name shows it.
      {"/opt/tool/ORVANE~1.EXE", "", "log_debug_ORVANE~1.log", "** ORVANE~1 - Logfile", "(ORVANE~1) : ", 56},
      // 39 characters but 42 bytes: the box is measured in characters.
      {"/opt/tool/Tool.exe", kUmlautModule, "log_debug_Tool.log",
       std::string("** ") + kUmlautModule + " - Logfile", std::string("(Tool:") + kUmlautModule + ") : ", 56},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.exe + " / " + c.module);
    TempDir dir;
    TLogSettings s = FileSettings(dir.path(), c.exe);
    s.AppendExecName = true;
    TLogging log(nullptr, c.module, s);
    log.Notice("hi");
    ASSERT_EQ(log.DbgLogFile(), PathText(dir / c.logFile));
    const auto lines = SplitLines(ReadFileBytes(dir / c.logFile));
    ASSERT_EQ(lines.size(), 27u);
    EXPECT_EQ(lines[1].substr(0, lines[1].find_last_not_of(" *") + 1), c.headerTitle);
    for (std::size_t i = 0; i < 25; ++i) EXPECT_EQ(Characters(lines[i]), c.width) << lines[i];
    EXPECT_EQ(lines[25], "");
    EXPECT_EQ(lines[26], c.prefix + "(Hinweis      ): hi");
  }
}

TEST(Logging, NonAsciiFolderAndProgramNamesReachTheFileSystemIntact) {
  TempDir dir;
  const std::string folderName = "Protokolle J\xC3\xBCrgen \xE2\x82\xAC";
  const std::string program =
      "Pr\xC3\xBC"
      "fer";
  const auto folder = dir.path() / TextPath(folderName);
  fs::create_directory(folder);
  TLogSettings s = FileSettings(folder, "/opt/tool/" + program + ".exe");
  s.AppendExecName = true;
  TLogging log(nullptr, "", s);
  log.Notice("hi");

  const auto file = folder / TextPath("log_debug_" + program + ".log");
  ASSERT_TRUE(fs::exists(file)) << log.DbgLogFile();
  EXPECT_EQ(log.DbgLogFile(), PathText(file));
  const auto lines = SplitLines(ReadFileBytes(file));
  ASSERT_EQ(lines.size(), 27u);
  // The box is measured in characters: the title line has 56 of them.
  EXPECT_EQ(lines[1], "** " + program + " - Logfile" + std::string(35, ' ') + "**");
  EXPECT_EQ(lines[26], "(" + program + ") : (Hinweis      ): hi");
}

// Two loggers of one program (or two instances of it) append to one file at
// the same time: every line arrives whole and once, each writer's in order.
// Windows appends atomically only on local disks, and Wine does not at all
// (it looks up the end, then writes there), so this holds on Windows only
// because the writers also lock each other out.
TEST(Logging, ConcurrentWritersToOneFileLoseNoLine) {
  TempDir dir;
  WriteFileBytes(dir / "log_debug_Tool.log", "");
  constexpr int kLines = 300;
  auto writer = [&](const std::string& name) {
    TLogging log(nullptr, "", FileSettings(dir.path()));
    for (int i = 0; i < kLines; ++i) log.Error(name + std::to_string(i));
  };
  std::thread a(writer, "a"), b(writer, "b");
  a.join();
  b.join();

  std::vector<std::string> fromA, fromB;
  for (const auto& line : MessageLines(dir / "log_debug_Tool.log")) {
    (line.rfind("(Fehler       ): a", 0) == 0 ? fromA : fromB).push_back(line);
  }
  std::vector<std::string> expectedA, expectedB;
  for (int i = 0; i < kLines; ++i) {
    expectedA.push_back("(Fehler       ): a" + std::to_string(i));
    expectedB.push_back("(Fehler       ): b" + std::to_string(i));
  }
  EXPECT_EQ(fromA, expectedA);
  EXPECT_EQ(fromB, expectedB);
}

TEST(Logging, LinesWaitWhileTheFileCannotBeOpenedAndFollowInOrder) {
  TempDir dir;
  TLogging log(nullptr, "", FileSettings(dir.path()));
  // A folder where the file should be: every open fails.
  fs::create_directory(dir / "log_debug_Tool.log");
  log.Error("one");
  log.Error("two");
  log.Error("three");
  fs::remove(dir / "log_debug_Tool.log");
  EXPECT_FALSE(fs::exists(dir / "log_debug_Tool.log"));

  log.Error("four");
  const std::string afterFour = ReadFileBytes(dir / "log_debug_Tool.log");
  EXPECT_EQ(afterFour, std::string(kToolHeader) +
                           "(Fehler       ): one\r\n(Fehler       ): two\r\n"
                           "(Fehler       ): three\r\n(Fehler       ): four\r\n");
  log.Error("five");
  EXPECT_EQ(ReadFileBytes(dir / "log_debug_Tool.log"), afterFour + "(Fehler       ): five\r\n");
  EXPECT_EQ(log.nTotalErrors, 5);
}

TEST(Logging, WaitingLinesAreCappedAndTheDropIsNoted) {
  TempDir dir;
  // The log's folder is a plain file, so the log file cannot be created.
  WriteFileBytes(dir / "logs", "not a folder");
  TLogSettings s = FileSettings(dir / "logs");
  s.MaxWaitingLines = 3;
  TLogging log(nullptr, "", s);
  for (const char* text : {"1", "2", "3", "4", "5"}) log.Error(text);
  fs::remove(dir / "logs");
  fs::create_directory(dir / "logs");
  log.Error("6");
  EXPECT_EQ(MessageLines(dir / "logs" / "log_debug_Tool.log"),
            (std::vector<std::string>{
                "(Warnung      ): 2 log lines were dropped while the log file could not be opened",
                "(Fehler       ): 3", "(Fehler       ): 4", "(Fehler       ): 5", "(Fehler       ): 6"}));
}

TEST(Logging, RepeatSuppressionDropsOnlyImmediateRepeatsButCountsThem) {
  TempDir dir;
  TLogging log(nullptr, "", FileSettings(dir.path()));
  EXPECT_FALSE(log.DontRepeatLogMessages());
  log.Error("same");
  log.Error("same");
  log.SetDontRepeatLogMessages(true);
  for (const char* text : {"A", "A", "B", "A", "a"}) log.Error(text);
  EXPECT_EQ(MessageLines(log.DbgLogFile()),
            (std::vector<std::string>{"(Fehler       ): same", "(Fehler       ): same", "(Fehler       ): A",
                                      "(Fehler       ): B", "(Fehler       ): A", "(Fehler       ): a"}));
  EXPECT_EQ(log.nTotalErrors, 7);
}

TEST(Logging, DebugOutputOnlyWhenSwitchedOn) {
  TempDir dir;
  {
    TLogging log(nullptr, "", FileSettings(dir.path()));
    log.Debug("hidden");
    log.DebugFmt("%d of %s", 3, "hidden");
    EXPECT_EQ(log.nTotalErrors, 0);
    EXPECT_FALSE(fs::exists(dir / "log_debug_Tool.log"));
  }
  TLogSettings s = FileSettings(dir.path());
  s.AlwaysShowDebug = true;
  TLogging log(nullptr, "", s);
  log.DebugFmt("%s=%d (%.1f s)", std::string("files"), 5, 1.25);
  log.DebugFmt("%d", "not a number");
  EXPECT_EQ(MessageLines(log.DbgLogFile()),
            (std::vector<std::string>{"(Debug        ): files=5 (1.2 s)",
                                      "(Debug        ): %d [format error: invalid type specifier]"}));
}

// The default set-up switched on from the command line: no file, no text
// control, syslog only.
TEST(Logging, SyslogAloneReceivesMessagesUpToItsThreshold) {
  TempDir dir;
  test::ScopedCwd cwd(dir.path());
  SyslogRecord record;
  TLogSettings s;
  s.LoggingEnabled = true;
  s.SyslogEnabled = true;
  s.AlwaysShowDebug = true;
  s.AppendExecName = true;
  s.ExecutablePath = "/opt/tool/Tool.exe";
  s.ServerName = "127.0.0.1";
  s.ServerPort = 5514;
  s.LogLevel = 4;   // slWarning
  s.Facility = 23;  // local7
  s.SyslogSinkFactory = RecordingSyslog(record);
  TLogging log(nullptr, "", s);
  log.Error(
      "Gr\xC3\xB6\xC3\x9F"
      "e");
  log.Warning("disk low");
  log.Notice("unsent");
  log.Debug("unsent");

  EXPECT_EQ(record.made, std::vector<std::string>{"127.0.0.1:5514"});
  EXPECT_EQ(record.sent,
            (std::vector<SyslogRecord::Sent>{{3, 23, "(Tool) : Groesse"}, {4, 23, "(Tool) : disk low"}}));
  EXPECT_EQ(log.nTotalErrors, 4);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(Logging, SyslogThresholdLeavesTheFileAllLinesAndRepeatsAreNotSent) {
  TempDir dir;
  SyslogRecord record;
  TLogSettings s = FileSettings(dir.path());
  s.SyslogEnabled = true;
  s.AlwaysShowDebug = true;
  s.LogLevel = 3;  // slError
  s.SyslogSinkFactory = RecordingSyslog(record);
  TLogging log(nullptr, "", s);
  log.SetDontRepeatLogMessages(true);
  for (const char* text : {"Download: 5 files", "Download: 5 files"}) log.Error(text);
  log.Warning("w");
  log.Debug("d");

  // Without the executable prefix the text goes as it is.
  EXPECT_EQ(record.sent, (std::vector<SyslogRecord::Sent>{{3, 16, "Download: 5 files"}}));
  EXPECT_EQ(MessageLines(log.DbgLogFile()),
            (std::vector<std::string>{"(Fehler       ): Download: 5 files", "(Warnung      ): w",
                                      "(Debug        ): d"}));
}

TEST(Logging, SyslogThatCannotBeSetUpOrFailsLeavesTheFileWorking) {
  SyslogRecord record;
  struct ThrowingSink : ILogSyslogSink {
    void Send(std::uint8_t, std::uint8_t, const std::string&) override {
      throw std::runtime_error("unreachable");
    }
  };
  const std::vector<std::pair<std::string, TLogSyslogSinkFactory>> factories = {
      {"no sink", [](const std::string&, int) { return std::unique_ptr<ILogSyslogSink>(); }},
      {"factory throws",
       [](const std::string&, int) -> std::unique_ptr<ILogSyslogSink> {
         throw std::runtime_error("no host");
       }},
      {"sink throws", [](const std::string&, int) { return std::make_unique<ThrowingSink>(); }},
  };
  for (const auto& [what, factory] : factories) {
    SCOPED_TRACE(what);
    TempDir dir;
    TLogSettings s = FileSettings(dir.path());
    s.SyslogEnabled = true;
    s.SyslogSinkFactory = factory;
    TLogging log(nullptr, "", s);
    log.Error("kept");
    EXPECT_EQ(MessageLines(log.DbgLogFile()), std::vector<std::string>{"(Fehler       ): kept"});
  }
  // With syslog off no sink is made at all.
  TempDir dir;
  TLogSettings s = FileSettings(dir.path());
  s.SyslogSinkFactory = RecordingSyslog(record);
  TLogging log(nullptr, "", s);
  log.Error("file only");
  EXPECT_TRUE(record.made.empty());
  EXPECT_TRUE(record.sent.empty());
}

TEST(Logging, DisabledLoggingCountsButWritesNothing) {
  TempDir dir;
  test::ScopedCwd cwd(dir.path());
  TLogSettings s = FileSettings(dir.path());
  s.LoggingEnabled = false;
  s.AlwaysShowDebug = true;
  TLogging log(nullptr, "", s);
  log.Error("x");
  log.Debug("y");
  EXPECT_FALSE(log.LoggingEnabled());
  EXPECT_FALSE(log.LogToFile());
  EXPECT_EQ(log.nTotalErrors, 1);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(Logging, TextControlKeepsNewestLinesFirstUpToItsLimit) {
  auto memo = std::make_shared<FakeTextControl>();
  TLogSettings s;
  s.MemoNumRows = 50;
  TLogging log(memo, "", s);  // a text control alone switches logging on
  EXPECT_TRUE(log.LoggingEnabled());
  for (int i = 0; i < 60; ++i) log.Notice(std::to_string(i));
  ASSERT_EQ(memo->lines.size(), 51u);
  EXPECT_EQ(memo->lines.front(), "(Hinweis      ): 59");
  EXPECT_EQ(memo->lines.back(), "(Hinweis      ): 9");

  memo->alive = false;
  log.Notice("unseen");
  memo->alive = true;
  memo->fail = true;
  log.Notice("throws");
  EXPECT_EQ(memo->lines.front(), "(Hinweis      ): 59");
  EXPECT_EQ(log.nTotalErrors, 62);
}

TEST(Logging, TextControlLinesCarryTheirOwnStampInFrontOfTheFileLine) {
  TempDir dir;
  auto memo = std::make_shared<FakeTextControl>();
  TLogSettings s = FileSettings(dir.path());
  s.PrependDate = true;
  s.PrependDateMemo = true;
  s.AppendExecName = true;
  s.Clock = FixedTime;
  TLogging log(memo, "", s);
  log.Warning("disk low");
  const std::string fileLine = "(Tool) : 20240131_143005: (Warnung      ): disk low";
  EXPECT_EQ(MessageLines(log.DbgLogFile()), std::vector<std::string>{fileLine});
  EXPECT_EQ(memo->lines, std::vector<std::string>{"20240131_143005: " + fileLine});
}

TEST(Logging, StartAndEndMessagesUseTheNameWithoutExe) {
  for (const auto& [exe, name] :
       std::vector<std::pair<std::string, std::string>>{{"/opt/tool/Tool.exe", "Tool"},
                                                        {"/opt/tool/TOOL.EXE", "TOOL"},
                                                        {"/usr/bin/OrvaneSupport", "OrvaneSupport"}}) {
    SCOPED_TRACE(exe);
    TempDir dir;
    TLogSettings s = FileSettings(dir.path(), exe);
    s.AlwaysShowDebug = true;
    TLogging log(nullptr, "", s);
    log.ApplicationStartMessage();
    log.ApplicationEndMessage();
    // The version part is there only when the file has a readable version.
    const std::string version = GetFileVersionString(exe, true, "V", false);
    const std::string shown =
        name + (version.find("GetFileVersionInfo failed") == std::string::npos ? " " + version : "");
    EXPECT_EQ(MessageLines(log.DbgLogFile()),
              (std::vector<std::string>{"(Debug        ): " + shown + " started... | Logging Class: 202101-1",
                                        "(Debug        ): " + shown + " exit..."}));
  }
}

TEST(Logging, StartAndStopManageLoggerAndSystemDebugOutput) {
  TempDir dir;
  ASSERT_EQ(Logger, nullptr);
  TLogSettings s = FileSettings(dir.path(), "");
  s.AlwaysShowDebug = true;
  StartLogging(s);
  ASSERT_NE(Logger, nullptr);
  const std::string file = Logger->DbgLogFile();
  EXPECT_EQ(file, PathText(dir / "log_debug_test_logging.log"));
  SystemDebug("from below");
  StopLogging();
  EXPECT_EQ(Logger, nullptr);
  EXPECT_FALSE(SystemDebugEnabled());

  // The test program has no version resource: its version is the build's.
  const std::string shown = fmt::format("test_logging  V{}.{}.{} build 0", ORVANE_VERSION_MAJOR,
                                        ORVANE_VERSION_MINOR, ORVANE_VERSION_PATCH);
  EXPECT_EQ(
      MessageLines(file),
      (std::vector<std::string>{"(Debug        ): " + shown + " started... | Logging Class: 202101-1",
                                "(Debug        ): from below", "(Debug        ): " + shown + " exit..."}));
}

TEST(Logging, DefaultStartUpLeavesLoggingDisabled) {
  TempDir dir;
  test::ScopedCwd cwd(dir.path());
  // A first start: no settings file yet, in this machine's settings folder
  // (a scratch one on POSIX; the Wine prefix's under Wine, put back after).
  TempDir config;
  test::ScopedEnv machine("XDG_CONFIG_DIRS", PathText(config / "machine"));
  test::ScopedEnv user("XDG_CONFIG_HOME", PathText(config / "user"));
  const fs::path settings = TextPath(FindLogSettingsFile());
  test::ScopedFileRestore restore(settings);
  fs::remove(settings);
  test::ScopedProcessArguments args({"test_logging"});
  StartLogging();
  ASSERT_NE(Logger, nullptr);
  EXPECT_FALSE(Logger->LoggingEnabled());
  Logger->Error("nowhere");
  StopLogging();
  EXPECT_EQ(Logger, nullptr);
  EXPECT_TRUE(fs::is_empty(dir.path()));
  EXPECT_EQ(ReadFileBytes(settings), test::kDefaultLogSettingsText);
}

}  // namespace
}  // namespace orvane
