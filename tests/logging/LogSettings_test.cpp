// The settings procedure on real files with real command lines: what a
// first start writes, how older and broken files are rebuilt, how each
// switch overrides the file for one run, and the logging help page.
#include "logging/LogSettings.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "LogFileFixtures.h"
#include "cmdline/CmdLineParaHandler.h"
#include "cmdline/HelpForm.h"
#include "logging/Logging.h"
#include "support/LogSettingsFixtures.h"
#include "support/LoggingHelpPage.h"
#include "support/RecordingLogControl.h"
#include "support/TestSupport.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::DefaultLogSettingsWith;
using test::kDefaultLogSettingsText;
using test::PathText;
using test::ReadFileBytes;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFileBytes;

// What a run decided, in one line: "off", or the outputs with their values.
std::string Describe(const TLogSettings& s) {
  if (!s.LoggingEnabled) return "off";
  std::string text = fmt::format("memo {}{}", s.MemoNumRows, s.PrependDateMemo ? " stamped" : "");
  if (s.SyslogEnabled)
    text += fmt::format(" | syslog {}:{} level {} facility {}", s.ServerName, s.ServerPort, s.LogLevel,
                        s.Facility);
  if (s.AlwaysShowDebug) text += " | debug";
  if (s.AppendExecName) text += " | prefix";
  if (s.LogToFile)
    text += fmt::format(" | file {} {} MB{}{}{}", s.DebugLogFile, s.LogFileMaxSizeInMB,
                        s.EnableLogRotation ? " rotated" : "", s.CompressOldFiles ? " zipped" : "",
                        s.PrependDate ? " stamped" : "");
  return text;
}

const std::string kSyslogDefault =
    "memo 50 stamped | syslog 127.0.0.1:514 level 7 facility 16 | debug | prefix";
const std::string kFileDefault = " | file log_debug.log 5 MB rotated zipped stamped";

class LogSettingsTest : public testing::Test {
 protected:
  void TearDown() override { HelpForm.reset(); }

  // The procedure on file with this command line (without argument 0).
  TLogSettings Load(const std::vector<std::string>& args, bool withTextControl = false) {
    std::vector<std::string> argv = {"OrvaneSupport"};
    argv.insert(argv.end(), args.begin(), args.end());
    TCmdLineParaHandler c(true, false, argv, PathText(noArgsFile.path()));
    return LoadLogSettings(PathText(file), withTextControl, ReadLogCmdLineSwitches(c), TLogSettings{});
  }

  TempDir dir;
  TempDir noArgsFile;  // an empty program folder: no "args.txt"
  // The older layout's registry key lives below the per-user configuration
  // folder on POSIX; keep it out of the real one.
  TempDir config;
  ScopedEnv configHome{"XDG_CONFIG_HOME", PathText(config.path())};
  const fs::path file = dir / "LogSettings.ini";
};

TEST_F(LogSettingsTest, FirstStartWritesTheCompleteDefaultFileAndLogsNothing) {
  EXPECT_EQ(Describe(Load({})), "off");
  EXPECT_EQ(ReadFileBytes(file), kDefaultLogSettingsText);
  EXPECT_EQ(Describe(Load({})), "off");
  EXPECT_EQ(ReadFileBytes(file), kDefaultLogSettingsText);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(LogSettingsTest, SwitchesAndFileValuesDecideTheRunAndNothingIsWrittenBack) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> file;  // lines changed in the default file
    std::vector<std::string> args;
    std::string expected;
  };
  const std::pair<std::string, std::string> on = {"Enabled=0", "Enabled=1"};
  const std::pair<std::string, std::string> toFile = {"DoLogToFile=0", "DoLogToFile=1"};
  const std::vector<Case> cases = {
      {{}, {"--Logging=1"}, kSyslogDefault},
      {{}, {"--Logging=1", "--LogToFile=1"}, kSyslogDefault + kFileDefault},
      {{},
       {"--logging=1", "--LOGTOFILE=1", "--LogRotation=0", "--CompressLogs=0", "--LogFileMaxSizeInMB=0"},
       kSyslogDefault + " | file log_debug.log 5 MB stamped"},
      {{},
       {"--Logging=1", "--LogToFile=1", "--LogFileMaxSizeInMB=3000"},
       kSyslogDefault + " | file log_debug.log 3000 MB rotated zipped stamped"},
      {{}, {"--Logging"}, "off"},
      {{}, {"--Logging=yes"}, "off"},
      {{}, {"--Logging="}, "off"},
      {{}, {"--LogToFile=1", "--DoSyslog=1"}, "off"},
      {{on}, {}, kSyslogDefault},
      {{on}, {"--Logging=0"}, "off"},
      {{on}, {"--Logging"}, kSyslogDefault},
      {{on}, {"--DoSyslog=0", "--LogToFile=1"}, "memo 50 stamped" + kFileDefault},
      {{on},
       {"--SyslogServerName=syslog.example.test", "--SyslogServerPort=1514", "--AlwaysShowDebug=0"},
       "memo 50 stamped | syslog syslog.example.test:1514 level 7 facility 16 | prefix"},
      {{on}, {"--SyslogServerPort=70000", "--SyslogServerName="}, kSyslogDefault},
      {{on}, {"--SyslogServerPort=0"}, kSyslogDefault},
      // Two spellings of one switch: the first on the command line counts.
      {{}, {"--Logging=1", "--LOGGING=0"}, kSyslogDefault},
      {{}, {"--LOGGING=0", "--Logging=1"}, "off"},
      // Without syslog there are no level 7 messages and no prefix.
      {{on, toFile, {"DoSyslog=1", "DoSyslog=0"}}, {}, "memo 50 stamped" + kFileDefault},
      {{on,
        {"Severity=slDebug", "Severity=slWarning"},
        {"Facility=sfLocalUseZero", "Facility=sfLocalUseThree"}},
       {},
       "memo 50 stamped | syslog 127.0.0.1:514 level 4 facility 19 | debug | prefix"},
      {{on,
        {"Severity=slDebug", "Severity=slwarning"},
        {"Facility=sfLocalUseZero", "Facility=sflocaluseone"}},
       {},
       kSyslogDefault},
      {{on, {"Severity=slDebug", "Severity=0"}, {"Facility=sfLocalUseZero", "Facility=23"}},
       {},
       "memo 50 stamped | syslog 127.0.0.1:514 level 0 facility 23 | debug | prefix"},
      {{on, {"Severity=slDebug", "Severity="}, {"Facility=sfLocalUseZero", "Facility=15"}},
       {},
       kSyslogDefault},
      {{on, {"ServerPort=514", "ServerPort=65536"}}, {}, kSyslogDefault},
      {{on, {"ServerPort=514", "ServerPort=-1"}}, {}, kSyslogDefault},
      {{on, {"ServerPort=514", "ServerPort=65535"}},
       {"--SyslogServerPort=-5"},
       "memo 50 stamped | syslog 127.0.0.1:65535 level 7 facility 16 | debug | prefix"},
      {{on, toFile, {"LogFileMaxSizeInMB=5", "LogFileMaxSizeInMB=0"}},
       {},
       kSyslogDefault + " | file log_debug.log 2 MB rotated zipped stamped"},
      {{on, toFile, {"LogFileMaxSizeInMB=5", "LogFileMaxSizeInMB=-3"}},
       {},
       kSyslogDefault + " | file log_debug.log 2 MB rotated zipped stamped"},
      {{on, toFile, {"LogFileMaxSizeInMB=5", "LogFileMaxSizeInMB=ten"}},
       {},
       kSyslogDefault + " | file log_debug.log 2 MB rotated zipped stamped"},
      {{on,
        {"NumRows=50", "NumRows=-1"},
        {"PrependDateToLog=1\r\nDebugLogFile=log_debug.log",
         "PrependDateToLog=0\r\nDebugLogFile=log_debug.log"}},
       {"--LogToFile=1"},
       "memo 10 stamped | syslog 127.0.0.1:514 level 7 facility 16 | debug | prefix | file log_debug.log 5 "
       "MB rotated zipped"},
  };
  for (const Case& c : cases) {
    const std::string text = DefaultLogSettingsWith(c.file);
    SCOPED_TRACE(testing::PrintToString(c.args) + "\n" + text);
    WriteFileBytes(file, text);
    EXPECT_EQ(Describe(Load(c.args)), c.expected);
    EXPECT_EQ(ReadFileBytes(file), text);
  }
}

TEST_F(LogSettingsTest, OlderLayoutIsRebuiltKeepingItsFourSwitchesForTheNextStart) {
  const std::string older =
      "[Main]\r\nLogClassScheme=8\r\nEnabled=1\r\nDoSyslog=0\r\nDoLogToFile=1\r\nAlwaysShowDebugMessages="
      "1\r\n"
      "[Syslog]\r\nServerName=old.example.test\r\n"
      "[Custom]\r\nKeep=me\r\n"
      "[Memo]\r\nNumRows=3\r\n";
  const std::string rebuilt =
      "[Custom]\r\nKeep=me\r\n\r\n" +
      DefaultLogSettingsWith(
          {{"Enabled=0", "Enabled=1"}, {"DoSyslog=1", "DoSyslog=0"}, {"DoLogToFile=0", "DoLogToFile=1"}});
  const std::string fileOnly = "memo 50 stamped" + kFileDefault;

  // This start logs only when the command line says so; the next one logs.
  WriteFileBytes(file, older);
  EXPECT_EQ(Describe(Load({})), "off");
  EXPECT_EQ(ReadFileBytes(file), rebuilt);
  EXPECT_EQ(Describe(Load({})), fileOnly);

  WriteFileBytes(file, older);
  EXPECT_EQ(Describe(Load({"--Logging=1"})), fileOnly);
  EXPECT_EQ(ReadFileBytes(file), rebuilt);

  // No layout number at all is an older layout too; its missing switches
  // come back as 0.
  WriteFileBytes(file, "[Main]\r\nEnabled=1\r\n");
  EXPECT_EQ(Describe(Load({})), "off");
  EXPECT_EQ(ReadFileBytes(file),
            DefaultLogSettingsWith({{"Enabled=0", "Enabled=1"},
                                    {"DoSyslog=1", "DoSyslog=0"},
                                    {"AlwaysShowDebugMessages=1", "AlwaysShowDebugMessages=0"}}));
}

TEST_F(LogSettingsTest, NegativeOrUnreadableEnabledRewritesEveryDefault) {
  for (const std::string enabled : {"Enabled=-1", "Enabled=on", "Enabled="}) {
    SCOPED_TRACE(enabled);
    WriteFileBytes(file, DefaultLogSettingsWith({{"Enabled=0", enabled},
                                                 {"ServerName=127.0.0.1", "ServerName=custom.example.test"},
                                                 {"NumRows=50", "NumRows=7"}}) +
                             "\r\n[Custom]\r\nKeep=me\r\n");
    EXPECT_EQ(Describe(Load({"--Logging=1"})), kSyslogDefault);
    EXPECT_EQ(ReadFileBytes(file), std::string(kDefaultLogSettingsText) + "\r\n[Custom]\r\nKeep=me\r\n");
  }
  // Enabled missing from a file of the current layout.
  WriteFileBytes(file, "[Main]\r\nLogClassScheme=9\r\n");
  EXPECT_EQ(Describe(Load({})), "off");
  EXPECT_EQ(ReadFileBytes(file), kDefaultLogSettingsText);
}

TEST_F(LogSettingsTest, UnwritableOrUnusableFileLeavesTheDefaultsInMemoryAndTheCommandLineStillCounts) {
  // A settings folder that cannot be created: a plain file is in the way.
  WriteFileBytes(dir / "plain", "x");
  const std::string oversized =
      DefaultLogSettingsWith({{"Enabled=0", "Enabled=1"}}) + std::string(2 << 20, ';');
  WriteFileBytes(dir / "big.ini", oversized);
  for (const fs::path& settings : {dir / "plain" / "LogSettings.ini", dir / "big.ini"}) {
    SCOPED_TRACE(settings.string());
    TCmdLineParaHandler c(true, false, {"OrvaneSupport", "--Logging=1", "--LogToFile=1", "--LoggingHelp"},
                          PathText(noArgsFile.path()));
    const TLogCmdLineSwitches switches = ReadLogCmdLineSwitches(c);
    EXPECT_TRUE(switches.ShowCmdLineDlg);
    EXPECT_EQ(Describe(LoadLogSettings(PathText(settings), false, switches, {})),
              kSyslogDefault + kFileDefault);
    TCmdLineParaHandler none(true, false, {"OrvaneSupport", "--DoSyslog=1"}, PathText(noArgsFile.path()));
    EXPECT_EQ(Describe(LoadLogSettings(PathText(settings), false, ReadLogCmdLineSwitches(none), {})), "off");
  }
  EXPECT_EQ(ReadFileBytes(dir / "plain"), "x");
  EXPECT_EQ(ReadFileBytes(dir / "big.ini"), oversized);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST_F(LogSettingsTest, LoggingHelpIsPreparedUnlessHelpIsAskedForAsWell) {
  EXPECT_EQ(LoggingHelpLines(),
            std::vector<std::string>(std::begin(test::kLoggingHelpLines), std::end(test::kLoggingHelpLines)));
  THelpForm expected;
  expected.ToggleMarkdown();
  for (const char* line : test::kLoggingHelpLines) expected.MarkDownAddLine(line);

  const std::vector<std::pair<std::vector<std::string>, bool>> cases = {
      {{"--LoggingHelp"}, true},
      {{"--logginghelp", "--Logging=0"}, true},
      {{"--LoggingHelp", "--help"}, false},
      {{"--LoggingHelp", "-h"}, false},
      {{"-H", "--LOGGINGHELP"}, false},
      {{"--Logging=1"}, false},
  };
  for (const auto& [args, shown] : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    HelpForm.reset();
    std::vector<std::string> argv = {"OrvaneSupport"};
    argv.insert(argv.end(), args.begin(), args.end());
    TCmdLineParaHandler c(true, false, argv, PathText(noArgsFile.path()));
    EXPECT_EQ(ReadLogCmdLineSwitches(c).ShowCmdLineDlg, shown);
    ASSERT_EQ(HelpForm != nullptr, shown);
    if (shown) {
      EXPECT_TRUE(HelpForm->IsMarkdown());
      EXPECT_EQ(HelpForm->Buffer(), expected.Buffer());
    }
  }
}

// A help window that notes its size and what the log file held when it was
// shown, and closes at once.
class RecordingHelpView : public IHelpView {
 public:
  RecordingHelpView(THelpForm& form, fs::path log, std::vector<std::string>& shows)
      : form_(form), log_(std::move(log)), shows_(shows) {}
  void PrepareOkButton() override {}
  void SetCaption(const std::string&) override {}
  void SetOuterSize(int width, int height) override { size_ = fmt::format("{}x{}", width, height); }
  void ShowMarkdownPanel(bool) override {}
  void ShowPage(const std::string&) override {}
  void ShowRichText(const std::string&) override {}
  void Close() override {}
  void ShowModal() override {
    form_.FormShow();
    const auto lines = fs::exists(log_) ? test::MessageLines(log_) : std::vector<std::string>{};
    shows_.push_back(size_ + " after " + std::to_string(lines.size()) + " lines" +
                     (lines.empty() ? "" : ": " + lines.back().substr(lines.back().find("(Debug"))));
  }

 private:
  THelpForm& form_;
  fs::path log_;
  std::vector<std::string>& shows_;
  std::string size_;
};

TEST_F(LogSettingsTest, StartUpShowsTheHelpPageOnceRightAfterTheStartMessage) {
  test::ScopedCwd cwd(dir.path());
  const fs::path log = dir / ("log_debug_" + test::TextPath(GetExecutablePath()).stem().string() + ".log");
  std::vector<std::string> shows;
  const THelpViewFactory previous = SetHelpViewFactory(
      [&](THelpForm& form) { return std::make_unique<RecordingHelpView>(form, log, shows); });
  {
    test::ScopedProcessArguments args({"test_logging", "--LoggingHelp", "--Logging=1", "--LogToFile=1"});
    StartLogging(PathText(file), TLogSettings{});
  }
  ASSERT_NE(Logger, nullptr);
  Logger->ShowLoggingHelp();
  StopLogging();
  SetHelpViewFactory(previous);

  ASSERT_EQ(shows.size(), 1u);
  EXPECT_EQ(shows[0].substr(0, shows[0].find(':')), "800x600 after 1 lines");
  EXPECT_NE(shows[0].find("started... | Logging Class: 202101-1"), std::string::npos) << shows[0];
  EXPECT_TRUE(HelpForm->WasShown());
  EXPECT_EQ(ReadFileBytes(file), kDefaultLogSettingsText);  // the switches were not written back
}

TEST_F(LogSettingsTest, TextControlSwitchesLoggingOnUnlessTheCommandLineSwitchesItOff) {
  WriteFileBytes(file, kDefaultLogSettingsText);
  EXPECT_EQ(Describe(Load({}, true)), kSyslogDefault);
  EXPECT_EQ(Describe(Load({"--Logging=0"}, true)), "off");

  // The same through the logger's own constructor and the process's
  // command line.
  for (const auto& [args, enabled] : std::vector<std::pair<std::vector<std::string>, bool>>{
           {{"test_logging", "--Logging=0"}, false}, {{"test_logging", "--DoSyslog=0"}, true}}) {
    test::ScopedProcessArguments scoped(args);
    auto memo = std::make_shared<test::RecordingLogControl>();
    TLogging log(memo, "", PathText(file), TLogSettings{});
    log.Error("seen?");
    EXPECT_EQ(log.LoggingEnabled(), enabled);
    EXPECT_EQ(memo->lines.size(), enabled ? 1u : 0u);
  }
  EXPECT_EQ(ReadFileBytes(file), kDefaultLogSettingsText);
}

TEST_F(LogSettingsTest, LogFileNameLosesLogOnlyFromTheFileNameNotFromItsFolder) {
  const std::string folder = PathText(dir / "x.log");
  WriteFileBytes(file, DefaultLogSettingsWith(
                           {{"Enabled=0", "Enabled=1"},
                            {"DoLogToFile=0", "DoLogToFile=1"},
                            {"DebugLogFile=log_debug.log", "DebugLogFile=" + folder + "/app.log.log"}}));
  TLogSettings surroundings;
  surroundings.ExecutablePath = "/opt/tool/Tool.exe";
  TLogging log(nullptr, "", LoadLogSettings(PathText(file), false, {}, surroundings));
  EXPECT_EQ(log.DbgLogFile(), folder + "/app_Tool.log");
}

TEST_F(LogSettingsTest, ALogFileOnAnotherHostIsRefusedAndTheDefaultNameUsed) {
  // Opening \\host\share\... would hand the account's credentials to host.
  for (const std::string network :
       {R"(\\attacker\share\x.log)", "//attacker/share/x.log", R"(\\?\UNC\attacker\share\x.log)"}) {
    SCOPED_TRACE(network);
    WriteFileBytes(file, DefaultLogSettingsWith({{"Enabled=0", "Enabled=1"},
                                                 {"DoLogToFile=0", "DoLogToFile=1"},
                                                 {"DebugLogFile=log_debug.log", "DebugLogFile=" + network}}));
    const TLogSettings s = Load({});
    EXPECT_EQ(s.DebugLogFile, "log_debug.log");
    EXPECT_EQ(s.Notes, std::vector<std::string>{"DebugLogFile " + network +
                                                " refused: a network path; using log_debug.log"});
  }

  // The logger says so among its first lines and writes beside itself.
  test::ScopedCwd cwd(dir.path());
  test::ScopedProcessArguments args({"test_logging"});
  auto memo = std::make_shared<test::RecordingLogControl>();
  {
    TLogging log(memo, "", PathText(file), TLogSettings{});
    EXPECT_EQ(log.DbgLogFile().rfind("log_debug_", 0), 0u) << log.DbgLogFile();
  }
  ASSERT_EQ(memo->lines.size(), 1u);
  EXPECT_NE(memo->lines[0].find(R"(DebugLogFile \\?\UNC\attacker\share\x.log refused)"), std::string::npos)
      << memo->lines[0];
}

}  // namespace
}  // namespace orvane
