#include "logging/LogSettings.h"

#include <fmt/printf.h>

#include <array>
#include <optional>
#include <utility>

#include "cmdline/CmdLineParaHandler.h"
#include "logging/IniFile.h"
#include "logging/Logging.h"
#include "system/FolderTrust.h"
#include "system/Registry.h"
#include "system/Translate.h"

namespace orvane {

namespace {

struct TDefaultKey {
  const char* section;
  const char* key;
  const char* value;
};

// Every key with the value a complete default file gets, in the order the
// file is written; the sections appear in this order in a new file. The two
// list sections only tell the reader which names Severity and Facility take.
constexpr std::array<TDefaultKey, 33> kDefaultKeys = {{
    {"Main", "LogClassScheme", "9"},
    {"Main", "Enabled", "0"},
    {"Main", "DoSyslog", "1"},
    {"Main", "DoLogToFile", "0"},
    {"Main", "AlwaysShowDebugMessages", "1"},
    {"LogToFile", "PrependDateToLog", "1"},
    {"LogToFile", "DebugLogFile", "log_debug.log"},
    {"LogToFile", "LogFileMaxSizeInMB", "5"},
    {"LogToFile", "EnableLogRotation", "1"},
    {"LogToFile", "CompressOldLogs", "1"},
    {"SysLogSeverity", "7", "slDebug"},
    {"SysLogSeverity", "6", "slInformational"},
    {"SysLogSeverity", "5", "slNotice"},
    {"SysLogSeverity", "4", "slWarning"},
    {"SysLogSeverity", "3", "slError"},
    {"SysLogSeverity", "2", "slCritical"},
    {"SysLogSeverity", "1", "slAlert"},
    {"SysLogSeverity", "0", "slEmergency"},
    {"SysLogFacility", "23", "sfLocalUseSeven"},
    {"SysLogFacility", "22", "sfLocalUseSix"},
    {"SysLogFacility", "21", "sfLocalUseFive"},
    {"SysLogFacility", "20", "sfLocalUseFour"},
    {"SysLogFacility", "19", "sfLocalUseThree"},
    {"SysLogFacility", "18", "sfLocalUseTwo"},
    {"SysLogFacility", "17", "sfLocalUseOne"},
    {"SysLogFacility", "16", "sfLocalUseZero"},
    {"Syslog", "ServerName", "127.0.0.1"},
    {"Syslog", "Severity", "slDebug"},
    {"Syslog", "Facility", "sfLocalUseZero"},
    {"Syslog", "ServerPort", "514"},
    {"Syslog", "AppendExecNameToLog", "1"},
    {"Memo", "NumRows", "50"},
    {"Memo", "PrependDateToLog", "1"},
}};

// Sections of the logger's own, erased in this order when an older layout is
// rebuilt; other sections of the file stay.
constexpr std::array<const char*, 6> kOwnSections = {"Main", "Syslog",         "LogToFile",
                                                     "Memo", "SysLogSeverity", "SysLogFacility"};

constexpr std::int32_t kDefaultSyslogPort = 514;
constexpr std::int32_t kDefaultMaxSizeInMB = 2;
constexpr std::int32_t kDefaultMemoNumRows = 10;
constexpr const char* kDefaultDebugLogFile = "log_debug.log";

// Exact, case-sensitive: a name in other letter case counts as unknown.
std::uint8_t ParseSeverity(const std::string& text) {
  static const std::array<const char*, 7> names = {"slEmergency", "slAlert",  "slCritical",     "slError",
                                                   "slWarning",   "slNotice", "slInformational"};
  for (std::size_t level = 0; level < names.size(); ++level)
    if (text == std::to_string(level) || text == names[level]) return static_cast<std::uint8_t>(level);
  return 7;
}

// Only the local-use facilities 16 to 23 can be chosen; anything else is 16.
std::uint8_t ParseFacility(const std::string& text) {
  static const std::array<const char*, 7> names = {"sfLocalUseOne",  "sfLocalUseTwo",  "sfLocalUseThree",
                                                   "sfLocalUseFour", "sfLocalUseFive", "sfLocalUseSix",
                                                   "sfLocalUseSeven"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int facility = static_cast<int>(i) + 17;
    if (text == std::to_string(facility) || text == names[i]) return static_cast<std::uint8_t>(facility);
  }
  return 16;
}

bool ValidPort(std::int32_t port) { return port >= 1 && port <= 65535; }

struct TCarriedSwitches {
  std::int32_t Enabled, DoSyslog, AlwaysShowDebugMessages, DoLogToFile;
};

void WriteDefaultKeys(TIniFile& ini) {
  for (const TDefaultKey& k : kDefaultKeys) ini.WriteString(k.section, k.key, k.value);
}

// Brings the file to the current layout and decides whether logging is on
// as far as the file is concerned. Changes are saved when the file can be
// written; otherwise they hold in memory for this run.
bool PrepareSettingsFile(TIniFile& ini) {
  const bool existed = ini.State() == TIniFile::TState::Loaded;
  std::optional<TCarriedSwitches> carried;
  if (ini.ReadInteger("Main", "LogClassScheme", -1) < LogClassScheme) {
    if (existed)
      carried = TCarriedSwitches{
          ini.ReadInteger("Main", "Enabled", 0), ini.ReadInteger("Main", "DoSyslog", 0),
          ini.ReadInteger("Main", "AlwaysShowDebugMessages", 0), ini.ReadInteger("Main", "DoLogToFile", 0)};
    // The older layout kept the settings in the user's registry.
    DeleteCompanyUserRegKey("Logging");
    for (const char* section : kOwnSections) ini.EraseSection(section);
  }
  // Decided here: switches carried over from an older layout take effect
  // from the next start on.
  const std::int32_t enabled = ini.ReadInteger("Main", "Enabled", -1);
  if (enabled < 0) {
    WriteDefaultKeys(ini);
    if (carried) {
      ini.WriteInteger("Main", "Enabled", carried->Enabled);
      ini.WriteInteger("Main", "DoSyslog", carried->DoSyslog);
      ini.WriteInteger("Main", "DoLogToFile", carried->DoLogToFile);
      ini.WriteInteger("Main", "AlwaysShowDebugMessages", carried->AlwaysShowDebugMessages);
    }
  }
  if (ini.Modified()) ini.UpdateFile();
  return enabled >= 1;
}

}  // namespace

bool ApplyCmdOverride(std::int32_t value, bool current) {
  if (value < 0) return current;
  return value > 0;
}

// The page is read by a person: its texts are shown in the program's language
// (the option names stay as they are typed).
std::vector<std::string> LoggingHelpLines() {
  return {
      Tr("## Internal Logging Class Help"),
      Tr("* **--LoggingHelp**: This Dialog"),
      Tr("* **--Logging**:=0 Disabled, =1 enabled"),
      Tr("* **--LogToFile**:=0 Disabled, =1 enabled"),
      Tr("* **--AlwaysShowDebug**:=0 Disabled, =1 enabled"),
      Tr("* **--DoSyslog**:=0 Disabled, =1 enabled"),
      Tr("* **--LogRotation**:=0 Disabled, =1 enabled"),
      Tr("* **--CompressLogs**:=0 Disabled, =1 enabled"),
      Tr("* **--SyslogServerName**: =Server IP"),
      Tr("* **--SyslogServerPort**: =Port number"),
      Tr("* **--LogFileMaxSizeInMB**: =Size in MB"),
      Tr("### Log Class Version"),
      fmt::sprintf("Orvane LogClassVersion: %s", LogClassVersion),
      fmt::sprintf("LogClassScheme: %d", LogClassScheme),
      fmt::sprintf("ConfigFileName: %s", LogSettingsFileName),
  };
}

TLogCmdLineSwitches ReadLogCmdLineSwitches(TCmdLineParaHandler& c) {
  TLogCmdLineSwitches s;
  if (!c.WasCalledWithArgs()) return s;
  if (c.IsKeyAvailable("LoggingHelp", "") && !c.IsKeyAvailable("help", "h")) {
    c.HelpDlg_Init("", true);
    c.HelpDlg_SetDimensions(800, 600);
    for (const std::string& line : LoggingHelpLines()) c.HelpDlg_AddMarkdownLine(line);
    s.ShowCmdLineDlg = true;
  }
  const std::pair<const char*, std::int32_t TLogCmdLineSwitches::*> integers[] = {
      {"Logging", &TLogCmdLineSwitches::pcmd_logenabled},
      {"LogToFile", &TLogCmdLineSwitches::pcmd_logtofile},
      {"AlwaysShowDebug", &TLogCmdLineSwitches::pcmd_asdebug},
      {"DoSyslog", &TLogCmdLineSwitches::pcmd_dosyslog},
      {"LogRotation", &TLogCmdLineSwitches::pcmd_logrot},
      {"CompressLogs", &TLogCmdLineSwitches::pcmd_compress},
      {"SyslogServerPort", &TLogCmdLineSwitches::pcmd_sysport},
      {"LogFileMaxSizeInMB", &TLogCmdLineSwitches::pcmd_maxsz},
  };
  for (const auto& [key, field] : integers)
    if (c.IsKeyAvailable(key, "")) s.*field = c.GetValueAsInt(key, "");
  if (c.IsKeyAvailable("SyslogServerName", "")) s.pcmd_syslognam = c.GetValueAsStr("SyslogServerName", "");
  return s;
}

TLogSettings LoadLogSettings(const std::string& settingsFile, bool withTextControl,
                             const TLogCmdLineSwitches& switches, const TLogSettings& base) {
  TLogSettings s;
  s.ExecutablePath = base.ExecutablePath;
  s.Clock = base.Clock;
  s.TimerFactory = base.TimerFactory;
  s.SyslogSinkFactory = base.SyslogSinkFactory;
  s.MaxWaitingLines = base.MaxWaitingLines;
  const TLogSettings surroundings = s;
  try {
    // A file that another user could have written may name their syslog
    // server or log file: the complete defaults hold in memory instead, as
    // in a new file (logging off unless the command line or a text control
    // switches it on), and nothing is written to it.
    const TTrust trust = CheckFileTrust(settingsFile);
    std::vector<std::string> notes;
    if (!trust.Trusted)
      notes.push_back("Settings file " + settingsFile + " ignored, defaults used: " + trust.Reason);
    TIniFile ini = trust.Trusted ? TIniFile(settingsFile) : TIniFile::Unread(settingsFile);
    bool enabled = false;
    if (trust.Trusted)
      enabled = PrepareSettingsFile(ini);
    else
      WriteDefaultKeys(ini);
    // A window that hands over a text control wants to see the log, unless
    // the command line says otherwise.
    if (withTextControl) enabled = true;
    enabled = ApplyCmdOverride(switches.pcmd_logenabled, enabled);
    if (!enabled) return s;

    const std::int32_t numRows = ini.ReadInteger("Memo", "NumRows", kDefaultMemoNumRows);
    s.MemoNumRows = numRows >= 0 ? numRows : kDefaultMemoNumRows;
    s.PrependDateMemo = ini.ReadInteger("Memo", "PrependDateToLog", 1) >= 1;
    s.LogToFile = ApplyCmdOverride(switches.pcmd_logtofile, ini.ReadInteger("Main", "DoLogToFile", 0) >= 1);
    s.SyslogEnabled = ApplyCmdOverride(switches.pcmd_dosyslog, ini.ReadInteger("Main", "DoSyslog", 0) >= 1);

    // Level 7 messages and the executable prefix come with the syslog
    // output; without it they stay off.
    if (s.SyslogEnabled) {
      s.ServerName = ini.ReadString("Syslog", "ServerName", "127.0.0.1");
      if (!switches.pcmd_syslognam.empty()) s.ServerName = switches.pcmd_syslognam;
      const std::int32_t port = ini.ReadInteger("Syslog", "ServerPort", kDefaultSyslogPort);
      s.ServerPort = ValidPort(port) ? port : kDefaultSyslogPort;
      if (switches.pcmd_sysport > 0 && ValidPort(switches.pcmd_sysport)) s.ServerPort = switches.pcmd_sysport;
      s.LogLevel = ParseSeverity(ini.ReadString("Syslog", "Severity", "slDebug"));
      s.Facility = ParseFacility(ini.ReadString("Syslog", "Facility", "sfLocalUseZero"));
      s.AppendExecName = ini.ReadInteger("Syslog", "AppendExecNameToLog", 1) >= 1;
      s.AlwaysShowDebug =
          ApplyCmdOverride(switches.pcmd_asdebug, ini.ReadInteger("Main", "AlwaysShowDebugMessages", 0) >= 1);
    }

    if (s.LogToFile) {
      s.PrependDate = ini.ReadInteger("LogToFile", "PrependDateToLog", 1) >= 1;
      s.DebugLogFile = ini.ReadString("LogToFile", "DebugLogFile", kDefaultDebugLogFile);
      // Opening a file on another host hands it the account's credentials.
      if (IsNetworkPath(s.DebugLogFile)) {
        notes.push_back("DebugLogFile " + s.DebugLogFile + " refused: a network path; using " +
                        kDefaultDebugLogFile);
        s.DebugLogFile = kDefaultDebugLogFile;
      }
      s.EnableLogRotation =
          ApplyCmdOverride(switches.pcmd_logrot, ini.ReadInteger("LogToFile", "EnableLogRotation", 1) >= 1);
      s.CompressOldFiles =
          ApplyCmdOverride(switches.pcmd_compress, ini.ReadInteger("LogToFile", "CompressOldLogs", 1) >= 1);
      const std::int32_t size = ini.ReadInteger("LogToFile", "LogFileMaxSizeInMB", kDefaultMaxSizeInMB);
      s.LogFileMaxSizeInMB = size > 0 ? size : kDefaultMaxSizeInMB;
      if (switches.pcmd_maxsz > 0) s.LogFileMaxSizeInMB = switches.pcmd_maxsz;
    }
    s.LoggingEnabled = true;
    s.Notes = std::move(notes);
    return s;
  } catch (...) {
    // The logger reports nothing about itself and must not keep the program
    // from starting: without settings it stays off.
    return surroundings;
  }
}

}  // namespace orvane
