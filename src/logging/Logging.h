// The program's one diagnostic channel.
//
// Modules hand TLogging short texts at one of eight syslog-style levels; it
// formats each message once and passes it to its outputs: a syslog sink, a
// plain-text log file with a header block, and a multi-line text control in a
// window.
// One instance exists, the global `Logger`, created by StartLogging() while
// the program initialises and destroyed by StopLogging() at shutdown.
#pragma once

#include <fmt/printf.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cmdline/CmdLineParaHandler.h"
#include "logging/LogFile.h"
#include "logging/LogSettings.h"
#include "logging/LogSyslogSink.h"
#include "logging/LogTextControl.h"
#include "logging/LogTimer.h"

namespace orvane {

// Ordered by decreasing severity; the numbers are the syslog severity codes.
enum class TOrvaneSyslogLvl : std::uint8_t {
  slEmergency = 0,
  slAlert = 1,
  slCritical = 2,
  slError = 3,
  slWarning = 4,
  slNotice = 5,
  slInformational = 6,
  slDebug = 7,
};

// One description per level; the part before its first ":" is the level tag
// written into every log line.
const std::string& SeverityText(TOrvaneSyslogLvl level);

// Version of the logging class, shown in the start message.
inline constexpr const char* LogClassVersion = "202101-1";

using TLogClock = std::function<std::chrono::system_clock::time_point()>;

// Milliseconds of a monotonic clock cut to 32 bits (wraps after about 49.7
// days); the stopwatches subtract two readings with wrap-around arithmetic.
using TLogTickClock = std::function<std::uint32_t()>;

// The monotonic clock of the stopwatches: steady_clock milliseconds, cut to
// 32 bits.
std::uint32_t LogTickCount();

// A list of texts watched by the logger (MonitorListAdd). The owner keeps the
// shared_ptr and changes the list; the logger holds only a weak reference, so
// a list its owner has destroyed is dropped, never read.
using TWatchedList = std::weak_ptr<const std::vector<std::string>>;

// What the logger is to do, decided once before it is constructed. A
// default-constructed value leaves logging disabled: every output off.
struct TLogSettings {
  bool LoggingEnabled = false;  // master switch; off means no output at all
  bool LogToFile = false;
  bool SyslogEnabled = false;
  bool AlwaysShowDebug = false;  // level 7 messages are produced at all
  bool PrependDate = false;      // date stamp on file and text-control lines
  bool PrependDateMemo = false;  // a date stamp of its own on text-control lines
  bool AppendExecName = false;   // "(name) : " in front of file lines and syslog texts
  // Base of the log file name: every ".log" is removed from its file name
  // (not from its folders), then "_", the executable's base name and ".log"
  // are appended. Relative paths are
  // relative to the working directory.
  std::string DebugLogFile = "log_debug.log";
  int LogFileMaxSizeInMB = 2;
  bool EnableLogRotation = false;
  bool CompressOldFiles = false;
  std::string ServerName = "127.0.0.1";
  int ServerPort = 514;
  std::uint8_t LogLevel = 7;   // syslog threshold
  std::uint8_t Facility = 16;  // syslog facility (local0)
  int MemoNumRows = 10;        // the text control keeps MemoNumRows + 1 lines
  // Lines kept in memory while the log file cannot be opened; beyond this
  // the oldest are dropped (and the drop is noted once the file opens).
  std::size_t MaxWaitingLines = 10000;
  // What the settings procedure has to report once the logger is up (a
  // settings file it did not trust, a log file it refused): written as
  // debug lines when the logger is constructed.
  std::vector<std::string> Notes;

  // The surroundings: the executable whose name and version the logger uses
  // (empty: the running program), the time source of the date stamps (empty:
  // the system clock), the clock of the stopwatches (empty: LogTickCount),
  // the factory for its timers (empty: no timers) and the one for its syslog
  // sink (empty: syslog output has nowhere to go).
  std::string ExecutablePath;
  TLogClock Clock;
  TLogTickClock TickClock;
  TLogTimerFactory TimerFactory;
  TLogSyslogSinkFactory SyslogSinkFactory;
};

// The logger belongs to the GUI thread: its outputs include a window control
// and it takes no locks. Work on a helper thread that calls into code which
// logs (proxy discovery during a download) sets a diversion on that thread
// for the time being: its lines then go to the diversion with their level,
// and the owning thread writes them on with TLogging::Write. An empty
// diversion ends it. Returns the thread's previous diversion.
using TLogDiversion = std::function<void(TOrvaneSyslogLvl level, const std::string& text)>;
TLogDiversion DivertLogOnThisThread(TLogDiversion diversion);

class TLogging {
 public:
  // The program's logger: the settings procedure (LogSettings.h) decides
  // from SettingsFile and the process's command line. Gui: a text control to
  // mirror lines into, or null; passing one switches logging on unless the
  // command line switches it off. Of surroundings only the executable, the
  // clock and the factories are used.
  TLogging(std::shared_ptr<ILogTextControl> Gui, const std::string& ModuleName,
           const std::string& SettingsFile, const TLogSettings& surroundings);
  // A logger with settings decided by the caller (tests, benchmarks); the
  // command line is not read. Passing a text control switches logging on as
  // a whole; which outputs are on comes from the settings.
  TLogging(std::shared_ptr<ILogTextControl> Gui, const std::string& ModuleName, const TLogSettings& settings);
  ~TLogging();
  TLogging(const TLogging&) = delete;
  TLogging& operator=(const TLogging&) = delete;

  // Level 0 to 6: the text is written as it is (it is no format pattern).
  void Emergency(const std::string& pszFormat);
  void Alert(const std::string& pszFormat);
  void Critical(const std::string& pszFormat);
  void Error(const std::string& pszFormat);
  void Warning(const std::string& pszFormat);
  void Notice(const std::string& pszFormat);
  void Informational(const std::string& pszFormat);
  // Level 7: produced only when debug messages are switched on; otherwise
  // nothing happens, not even counting.
  void Debug(const std::string& pszFormat);
  // A line at the given level, as the method of that level writes it; for
  // lines handed over by a diversion.
  void Write(TOrvaneSyslogLvl level, const std::string& text);

  // printf-style (%s, %d, %.1f); formats only when debug output is on. A
  // pattern that does not fit its arguments is written unformatted with a
  // note instead of throwing into the caller.
  template <typename... Args>
  void DebugFmt(const std::string& pszFormat, const Args&... args) {
    if (!pAlwaysShwDbg) return;
    std::string text;
    try {
      text = fmt::sprintf(pszFormat, args...);
    } catch (const fmt::format_error& e) {
      text = pszFormat + " [format error: " + e.what() + "]";
    }
    WriteMessage(text, TOrvaneSyslogLvl::slDebug);
  }

  // "<date stamp>: <logmsg>" when the file/control stamp (or, for the Gui
  // variant, the control's own stamp) is on, else logmsg unchanged.
  std::string PrependDateToStr(const std::string& logmsg) const;
  std::string PrependDateToGuiStr(const std::string& logmsg) const;

  void SetModuleName(const std::string& ModName);

  // "<name>  V1.2.3 build 4 started... | Logging Class: 202101-1" and
  // "<name>  V1.2.3 build 4 exit...", both at level 7.
  void ApplicationStartMessage();
  void ApplicationEndMessage();

  // Shows the logging help page (modal) when --LoggingHelp asked for it,
  // once; then releases the command-line handler. Start-up calls it right
  // after the start message.
  void ShowLoggingHelp();

  bool LoggingEnabled() const { return pLoggingEnabled; }
  bool LogToFile() const { return pLogToFile; }
  void SetLogToFile(bool value) { pLogToFile = value; }
  bool DontRepeatLogMessages() const { return pDontRepeatMessages; }
  void SetDontRepeatLogMessages(bool value) { pDontRepeatMessages = value; }
  int MemoNumRowsOverwrite() const { return pMemoNumRows; }
  void SetMemoNumRowsOverwrite(int value) { pMemoNumRows = value; }

  // Rotation: when the log file is larger than LogFileMaxSizeInMB MiB, it is
  // zipped into the first free <base>_001.zip ... <base>_999.zip beside it
  // (CompressOldFiles) or moved to the first free <base>_001.log ...
  // <base>_999.log, and the next message starts a new file. The rotation
  // timer calls it once a second; a failure leaves the file for the next
  // call. Defined in LogRotation.cpp.
  void HandleLogRotation();

  // Developer diagnostics (LogDiagnostics.cpp). They report through the
  // level operations, mostly Debug, and so show only when that level is
  // produced.

  // Stopwatches 1 to 3; other numbers do nothing and measure 0. Stopping
  // does not reset the start. TimerStop gives seconds with one decimal
  // ("%.1f", always with ".") or whole milliseconds.
  void TimerStart(int TimerNum);
  std::string TimerStop(int TimerNum, bool s_or_ms) const;
  // "Event: <name> | dt: 1.2 s" or "Event: <name> | dt: 1234 ms" at Level.
  void TimerStopAndLog(int TimerNum, const std::string& EventName, bool s_or_ms, TOrvaneSyslogLvl Level);

  // Named call counters (names ignore letter case): "Key: <name> (<count>)";
  // the count advances even while debug messages are off. A reset counter
  // shows 1 on its next output.
  void DebugCounterOutput(const std::string& FuncCall);
  void DebugCounterReset(const std::string& FuncCall);

  // The whole list between ">>> Output Stringlist: <name> (<count>)" and
  // "<<< Done".
  void DebugSL(const std::string& ListName, const std::vector<std::string>& SL);
  // Only the entries added since the last call for the name (all of them
  // the first time or with ForceReset), as "<name> [<index>]: <entry>".
  void DebugSLDiff(const std::string& ListName, const std::string& AddComment,
                   const std::vector<std::string>& SL, bool ForceReset);

  // Watched lists: once a second each entry added since the last tick is
  // written as "SL(<name>) (<index>) <text after the first '='>".
  void MonitorListAdd(const std::string& LstName, TWatchedList LstIn);
  void MonitorListRemove(const std::string& LstName);
  void MonitorListRemoveAll();

  // Error "<where>: <class>: <message>"; with the call stack as Debug lines.
  void LogException(const std::exception& _e, const std::string& _Where, bool _IncludeCallstack);
  // Shaped for an application-wide handler of unhandled exceptions; the
  // sender is not used.
  void HandleAppException(const void* _Sender, const std::exception& _e);
  // Appends the current call stack, one frame a line; nothing while capture
  // is off or where the platform gives no frames.
  void GetCallstack(std::vector<std::string>& _sl) const;
  // Shows class, message, location and call stack in the error box the
  // program installed (SetExceptionBoxHook); returns 0. The other
  // parameters are accepted and not used.
  std::int32_t ShowException(const std::exception& _e, const std::string& _Message = "",
                             const std::string& _OptionDesc = "", const void* _Owner = nullptr) const;

  // The calling thread's last system error (errno / GetLastError): 0 logs
  // nothing; otherwise Error "(<prefix>) <system text>" or the text alone.
  std::uint32_t GetLastSysError(const std::string& AdditionalPrefix);

  // "compilerinfo.txt" in the temporary folder: eight lines describing this
  // build. False when it could not be written.
  bool WriteCompilerSettingsToFile();

  void ApplicationLoggingRestartMessage();

  // Path of the log file ("" while the file output is off).
  const std::string& DbgLogFile() const { return pDbgLogFile; }

  // Messages handed to WriteMessage so far, repeats and unwritten ones
  // included.
  std::int32_t nTotalErrors = 0;

 private:
  void ApplySettings(std::shared_ptr<ILogTextControl> Gui, const std::string& ModuleName,
                     const TLogSettings& settings, bool enabled);
  // Reads the logger's switches into pcmd (once per instance) through the
  // handler c, which lives until ShowLoggingHelp.
  void ReadCmdLineArgs();
  void WriteMessage(const std::string& text, TOrvaneSyslogLvl level);
  void SendToSyslog(const std::string& text, TOrvaneSyslogLvl level);
  std::string FormatLine(const std::string& text, TOrvaneSyslogLvl level) const;
  void WriteToFile(const std::string& line);
  void WriteToGui(const std::string& line);
  void KeepWaiting(std::string line);
  std::string ExecutableFileName() const;
  std::string ExecutableNameAndVersion() const;
  std::string HeaderBlock() const;
  bool OpenLogFile();
  void CloseLogFile();

  static std::string ReplaceUmlauts(const std::string& text);

  bool pPrependDate = false;
  bool pPrependDateMemo = false;
  std::string pProductName;
  bool pLogToFile = false;
  std::int64_t pLogFileMaxSize = 0;
  bool pEnableLogRotation = false;
  bool pCompressOldFiles = false;
  std::string pServerIP;
  std::int32_t pServerPort = 0;
  bool pSyslogEnabled = false;
  std::uint8_t pLogLevel = 0;
  std::uint8_t pFacility = 0;
  std::string pExecName;
  bool pAppendExecName = false;
  std::string pDbgLogFile;
  bool pAlwaysShwDbg = false;
  std::int32_t pMemoNumRows = 0;
  std::string pBinName;
  bool pDontRepeatMessages = false;
  std::string pLastMessage;
  std::deque<std::string> pLogMessageBuffer;
  std::size_t pDroppedLines = 0;
  std::size_t pMaxWaitingLines = 0;
  std::int32_t pMaxTryFileOpen = 10;
  bool pLoggingEnabled = false;

  std::string pExecutablePath;
  TLogClock pClock;
  TLogTimerFactory pTimerFactory;

  TLogFile LogFile;
  std::shared_ptr<ILogTextControl> GuiMemo;

  TLogCmdLineSwitches pcmd;
  std::unique_ptr<TCmdLineParaHandler> c;
  bool ArgsChecked = false;
  // The rotation timer; exists only while the file output and rotation are
  // on and the logger was given a timer factory.
  std::unique_ptr<ILogTimer> ptmrLogRot;
  // All 999 rotation names of the kind last tried were taken, and a warning
  // said so; cleared once a rotation goes through.
  bool pRotationNamesUsedUp = false;
  // The syslog sink; exists only while syslog output is on.
  std::unique_ptr<ILogSyslogSink> IdSysLog1;

  // Diagnostics.
  std::int32_t IncDebugCounter(const std::string& FuncCall);
  std::uint32_t Elapsed(int TimerNum) const;
  void MonitoredListTimerTick();

  struct TNamedCount {
    std::string Name;
    std::int32_t Count = 0;
  };
  struct TMonitoredList {
    std::string Name;
    TWatchedList List;
    std::size_t Reported = 0;  // entries already written
  };
  TLogTickClock pTickClock;
  std::uint32_t pdt1 = 0, pdt2 = 0, pdt3 = 0;
  std::vector<TNamedCount> pFuncCallPairs;  // in insertion order
  // DebugSLDiff's per-name counts, kept apart from the watched lists.
  std::vector<TNamedCount> pSLDiffCounts;
  std::vector<TMonitoredList> MonitoredLists;
  std::unique_ptr<ILogTimer> MonitoredListTimer;
};

// The box ShowException shows its text in: modal, one OK button. The program
// installs one that uses its toolkit, so that the logger stays toolkit-free;
// without one the text is shown nowhere. Empty removes it.
using TExceptionBoxHook = std::function<void(const std::string& text)>;
void SetExceptionBoxHook(TExceptionBoxHook hook);

// Call-stack capture for GetCallstack and ShowException; StartLogging
// switches it on, StopLogging off.
void SetCallstackCapture(bool on);

// The process-wide instance; null before start-up and after shutdown, so code
// that can run outside that window tests it first.
extern TLogging* Logger;

// Start-up of the logging unit: switches call-stack capture on, creates
// Logger (unless it exists), writes the start message, shows the logging help page when it was asked for and
// routes the system library's debug output into Logger.
// The program's form: the settings procedure on this machine's settings file
// (FindLogSettingsFile) and the command line; the logger's timers are bound
// through the given factory.
void StartLogging(TLogTimerFactory timers = {});
// The same with the settings file and the surroundings given.
void StartLogging(const std::string& settingsFile, const TLogSettings& surroundings);
// With settings decided by the caller; the command line is not read.
void StartLogging(const TLogSettings& settings);

// Shutdown of the logging unit: end message, Logger destroyed and emptied,
// system debug output dropped again, call-stack capture off.
void StopLogging();

}  // namespace orvane
