// The logger's settings: the settings file "LogSettings.ini", the
// command-line switches that override it for one run, and the logging help
// page. The logger's constructor runs the settings procedure once; its result
// is a TLogSettings value (Logging.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

struct TLogSettings;
class TCmdLineParaHandler;

// Layout number of the settings file; a file of a lower number (or without
// one) is rebuilt with the defaults, keeping its four main switches.
inline constexpr std::int32_t LogClassScheme = 9;
inline constexpr const char* LogSettingsFileName = "LogSettings.ini";

// The settings file of this machine and user. The folder it lives in is
// created when missing; when it cannot be, the path is returned all the
// same and the procedure goes on with the defaults in memory.
// Windows: the common application-data folder + "Orvane mbH\LogSettings.ini".
// POSIX: the machine-wide file (first entry of XDG_CONFIG_DIRS, default
// /etc/xdg, + "Orvane mbH/LogSettings.ini") when an administrator placed one
// there, otherwise the per-user file below XDG_CONFIG_HOME (default
// ~/.config); empty when there is no per-user folder at all.
std::string FindLogSettingsFile();

// The logger's switches on the command line: -1 (or an empty server name)
// when a switch is absent, has no value or a value that is no integer.
struct TLogCmdLineSwitches {
  std::int32_t pcmd_logenabled = -1;
  std::int32_t pcmd_logtofile = -1;
  std::int32_t pcmd_asdebug = -1;
  std::int32_t pcmd_dosyslog = -1;
  std::int32_t pcmd_logrot = -1;
  std::int32_t pcmd_compress = -1;
  std::int32_t pcmd_sysport = -1;
  std::int32_t pcmd_maxsz = -1;
  std::string pcmd_syslognam;
  // --LoggingHelp was given (without --help or -h) and the page is prepared.
  bool ShowCmdLineDlg = false;
};

// current when value is below 0 (no switch), off for 0, on above 0.
bool ApplyCmdOverride(std::int32_t value, bool current);

// Reads the switches through c (automatic prefix, keys in any letter case;
// of two spellings of one switch the first on the command line counts).
// With --LoggingHelp and neither --help nor -h, the logging help page is put
// into the help dialog (Markdown, 800 x 600) and ShowCmdLineDlg is set.
TLogCmdLineSwitches ReadLogCmdLineSwitches(TCmdLineParaHandler& c);

// The help page, one Markdown line each.
std::vector<std::string> LoggingHelpLines();

// The settings procedure. Reads settingsFile; a missing file, one of an older
// layout or one without a valid "Enabled" is rewritten with the defaults
// (through a temporary file; an unwritable or unusable file is left alone and
// the defaults are used in memory). A file that other users could have
// written (CheckFileTrust) is neither read nor written: the defaults hold in
// memory. A DebugLogFile naming a network path is refused for the default.
// Both are reported in the result's Notes. Then a text control switches logging on,
// the switches override the file for this run, and the outputs are read.
// Returns every decision; of base only the surroundings are taken
// (ExecutablePath, Clock, TimerFactory, SyslogSinkFactory, MaxWaitingLines).
// Never throws: any failure leaves logging disabled.
TLogSettings LoadLogSettings(const std::string& settingsFile, bool withTextControl,
                             const TLogCmdLineSwitches& switches, const TLogSettings& base);

}  // namespace orvane
