#include "logging/Logging.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <thread>
#include <utility>

#include "logging/SyslogSink.h"
#include "system/DebugHook.h"
#include "system/SysUtils.h"

namespace orvane {

TLogging* Logger = nullptr;

namespace {

const std::array<std::string, 8> kSeverityText = {
    "Notfall: System ist unbrauchbar",
    "Alarm: Es muss sofort etwas getan werden",
    "Kritisch: Kritischer Zustand",
    "Fehler: Fehlerzustand",
    "Warnung: Warnungszustand",
    "Hinweis: Normaler, aber signifikanter Zustand",
    "Information: Informationsbotschaften",
    "Debug: Botschaften auf Debug-Ebene",
};

// "(" + tag padded to 13 characters + "): ", built once per level.
const std::array<std::string, 8> kLinePrefix = [] {
  std::array<std::string, 8> prefixes;
  for (std::size_t i = 0; i < kSeverityText.size(); ++i) {
    std::string tag = kSeverityText[i].substr(0, kSeverityText[i].find(':'));
    tag.resize(std::max<std::size_t>(tag.size(), 13), ' ');
    prefixes[i] = "(" + tag + "): ";
  }
  return prefixes;
}();

constexpr const char* kLineEnd = "\r\n";
constexpr auto kOpenRetryPause = std::chrono::milliseconds(5);

std::string RemoveAll(std::string text, const std::string& what) {
  for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos))
    text.erase(pos, what.size());
  return text;
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// Position of the first ".exe" in any case at or after from. Windows names
// its programs in whatever case they were stored or started with
// ("ORVANE~1.EXE" through a short path), and its file names ignore case.
std::size_t FindExe(const std::string& name, std::size_t from = 0) {
  for (std::size_t pos = from; pos + 4 <= name.size(); ++pos) {
    if (EqualsIgnoreCase(name.substr(pos, 4), ".exe")) return pos;
  }
  return std::string::npos;
}

std::string RemoveAllExe(std::string name) {
  for (auto pos = FindExe(name); pos != std::string::npos; pos = FindExe(name, pos)) name.erase(pos, 4);
  return name;
}

// Characters, not bytes: a UTF-8 name must not widen the header box.
std::size_t DisplayLength(const std::string& text) {
  std::size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

// The configured name with every ".log" removed from its file name (a folder
// called "x.log" stays as it is), then "_", the executable's name and ".log".
std::string LogFilePath(const std::string& setting, const std::string& binName) {
  // The platform's folder delimiters, and "/", which Windows accepts as well.
  const auto slash = setting.find_last_of(std::string(PathDelimiters) + "/");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  return setting.substr(0, nameStart) + RemoveAll(setting.substr(nameStart), ".log") + "_" + binName + ".log";
}

void ForwardSystemDebug(const std::string& text) {
  if (Logger) Logger->Debug(text);
}

}  // namespace

const std::string& SeverityText(TOrvaneSyslogLvl level) {
  return kSeverityText[static_cast<std::size_t>(level) & 7];
}

TLogging::TLogging(std::shared_ptr<ILogTextControl> Gui, const std::string& ModuleName,
                   const std::string& SettingsFile, const TLogSettings& surroundings) {
  ArgsChecked = false;
  ReadCmdLineArgs();
  // The procedure takes the text control into account before the command
  // line, so that --Logging=0 switches off a logger that has one.
  const TLogSettings settings = LoadLogSettings(SettingsFile, Gui != nullptr, pcmd, surroundings);
  ApplySettings(std::move(Gui), ModuleName, settings, settings.LoggingEnabled);
  for (const std::string& note : settings.Notes) Debug(note);
}

TLogging::TLogging(std::shared_ptr<ILogTextControl> Gui, const std::string& ModuleName,
                   const TLogSettings& settings) {
  // A window that hands over a text control wants to see the log.
  const bool enabled = settings.LoggingEnabled || Gui != nullptr;
  ApplySettings(std::move(Gui), ModuleName, settings, enabled);
}

void TLogging::ApplySettings(std::shared_ptr<ILogTextControl> Gui, const std::string& ModuleName,
                             const TLogSettings& settings, bool enabled) {
  pExecutablePath = settings.ExecutablePath;
  pClock = settings.Clock ? settings.Clock : TLogClock(&std::chrono::system_clock::now);
  pTimerFactory = settings.TimerFactory;
  pTickClock = settings.TickClock ? settings.TickClock : TLogTickClock(&LogTickCount);
  pMaxWaitingLines = settings.MaxWaitingLines;
  if (enabled) {
    pProductName = ModuleName;
    pMemoNumRows = settings.MemoNumRows;
    pPrependDateMemo = settings.PrependDateMemo;
    pLogToFile = settings.LogToFile;
    pSyslogEnabled = settings.SyslogEnabled;
    SetModuleName(ModuleName);
    if (pSyslogEnabled) {
      pServerIP = settings.ServerName;
      pServerPort = settings.ServerPort;
      pLogLevel = settings.LogLevel;
      pFacility = settings.Facility;
      // A sink that cannot be set up leaves syslog silent for the run; the
      // other outputs carry on.
      try {
        if (settings.SyslogSinkFactory) IdSysLog1 = settings.SyslogSinkFactory(pServerIP, pServerPort);
      } catch (...) {
        IdSysLog1.reset();
      }
    }
    pAppendExecName = settings.AppendExecName;
    pAlwaysShwDbg = settings.AlwaysShowDebug;
    if (pLogToFile) {
      pPrependDate = settings.PrependDate;
      pDbgLogFile = LogFilePath(settings.DebugLogFile, pBinName);
      pEnableLogRotation = settings.EnableLogRotation;
      pCompressOldFiles = settings.CompressOldFiles;
      // A size of 0 or below would rotate every second: the default instead.
      const std::int64_t sizeInMB =
          settings.LogFileMaxSizeInMB > 0 ? settings.LogFileMaxSizeInMB : TLogSettings{}.LogFileMaxSizeInMB;
      pLogFileMaxSize = sizeInMB * 1048576;
      if (pEnableLogRotation && pTimerFactory && !ptmrLogRot) {
        ptmrLogRot = pTimerFactory(1000, [this] { HandleLogRotation(); });
        if (ptmrLogRot) ptmrLogRot->Start();
      }
    }
    GuiMemo = std::move(Gui);
  }
  pLoggingEnabled = enabled;
}

TLogging::~TLogging() {
  // No tick may reach a logger that is going away.
  ptmrLogRot.reset();
  MonitoredListTimer.reset();
  CloseLogFile();
}

void TLogging::Emergency(const std::string& pszFormat) {
  WriteMessage(pszFormat, TOrvaneSyslogLvl::slEmergency);
}
void TLogging::Alert(const std::string& pszFormat) { WriteMessage(pszFormat, TOrvaneSyslogLvl::slAlert); }
void TLogging::Critical(const std::string& pszFormat) {
  WriteMessage(pszFormat, TOrvaneSyslogLvl::slCritical);
}
void TLogging::Error(const std::string& pszFormat) { WriteMessage(pszFormat, TOrvaneSyslogLvl::slError); }
void TLogging::Warning(const std::string& pszFormat) { WriteMessage(pszFormat, TOrvaneSyslogLvl::slWarning); }
void TLogging::Notice(const std::string& pszFormat) { WriteMessage(pszFormat, TOrvaneSyslogLvl::slNotice); }
void TLogging::Informational(const std::string& pszFormat) {
  WriteMessage(pszFormat, TOrvaneSyslogLvl::slInformational);
}

void TLogging::Debug(const std::string& pszFormat) {
  if (pAlwaysShwDbg) WriteMessage(pszFormat, TOrvaneSyslogLvl::slDebug);
}

void TLogging::Write(TOrvaneSyslogLvl level, const std::string& text) {
  if (level == TOrvaneSyslogLvl::slDebug) {
    Debug(text);
  } else {
    WriteMessage(text, level);
  }
}

namespace {
// A plain pointer on purpose: a thread_local object with a destructor is
// destroyed at thread exit, and with the MinGW runtime that could happen
// after its storage was released, which crashed detached download threads.
thread_local TLogDiversion* tDiversion = nullptr;
}  // namespace

TLogDiversion DivertLogOnThisThread(TLogDiversion diversion) {
  TLogDiversion previous = tDiversion ? std::move(*tDiversion) : TLogDiversion();
  delete tDiversion;
  tDiversion = diversion ? new TLogDiversion(std::move(diversion)) : nullptr;
  return previous;
}

std::string TLogging::PrependDateToStr(const std::string& logmsg) const {
  return pPrependDate ? DateTimeToFileStamp(pClock()) + ": " + logmsg : logmsg;
}

std::string TLogging::PrependDateToGuiStr(const std::string& logmsg) const {
  return pPrependDateMemo ? DateTimeToFileStamp(pClock()) + ": " + logmsg : logmsg;
}

std::string TLogging::ExecutableFileName() const {
  const std::string path = pExecutablePath.empty() ? GetExecutablePath() : pExecutablePath;
  // The platform's folder delimiters, and "/", which Windows accepts as well.
  const auto slash = path.find_last_of(std::string(PathDelimiters) + "/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void TLogging::SetModuleName(const std::string& ModName) {
  pProductName = ModName;
  if (!pSyslogEnabled && !pLogToFile) return;
  pBinName = RemoveAllExe(ExecutableFileName());
  if (!ModName.empty() && !EqualsIgnoreCase(ModName, pBinName))
    pExecName = "(" + pBinName + ":" + ModName + ") : ";
  else
    pExecName = "(" + pBinName + ") : ";
}

std::string TLogging::ExecutableNameAndVersion() const {
  std::string name = ExecutableFileName();
  // Windows names end in ".exe"; elsewhere the name has no extension to strip.
  if (name.size() >= 4 && EqualsIgnoreCase(name.substr(name.size() - 4), ".exe"))
    name.resize(name.size() - 4);
  const std::string version = GetFileVersionString(pExecutablePath, true, "V", false);
  if (version.find("GetFileVersionInfo failed") == std::string::npos) name += " " + version;
  return name;
}

void TLogging::ApplicationStartMessage() {
  Debug(ExecutableNameAndVersion() + " started... | Logging Class: " + LogClassVersion);
}

void TLogging::ApplicationEndMessage() { Debug(ExecutableNameAndVersion() + " exit..."); }

std::string TLogging::ReplaceUmlauts(const std::string& text) {
  // Every letter replaced here is a two-byte UTF-8 sequence starting 0xC3.
  if (text.find('\xC3') == std::string::npos) return text;
  static const std::array<std::pair<std::string, std::string>, 7> kReplacements = {{
      {"\xC3\xA4", "ae"},  // ä
      {"\xC3\x84", "Ae"},  // Ä
      {"\xC3\xBC", "ue"},  // ü
      {"\xC3\x9C", "Ue"},  // Ü
      {"\xC3\xB6", "oe"},  // ö
      {"\xC3\x96", "Oe"},  // Ö
      {"\xC3\x9F", "ss"},  // ß
  }};
  std::string result = text;
  for (const auto& [from, to] : kReplacements) {
    for (auto pos = result.find(from); pos != std::string::npos; pos = result.find(from, pos + to.size()))
      result.replace(pos, from.size(), to);
  }
  return result;
}

std::string TLogging::FormatLine(const std::string& text, TOrvaneSyslogLvl level) const {
  std::string line =
      PrependDateToStr(ReplaceUmlauts(kLinePrefix[static_cast<std::size_t>(level) & 7] + text));
  return pAppendExecName ? pExecName + line : line;
}

void TLogging::WriteMessage(const std::string& text, TOrvaneSyslogLvl level) {
  if (tDiversion) {
    (*tDiversion)(level, text);
    return;
  }
  const bool repeated = pDontRepeatMessages && text == pLastMessage;
  if (!repeated) {
    if (pDontRepeatMessages) pLastMessage = text;
    // Syslog is an output of its own: the default set-up has neither file
    // nor text control, only syslog.
    if (IdSysLog1) SendToSyslog(ReplaceUmlauts(text), level);
    // No outputs, nothing to format.
    if (pLogToFile || GuiMemo) {
      const std::string line = FormatLine(text, level);
      if (pLogToFile) WriteToFile(line);
      if (GuiMemo) WriteToGui(line);
    }
  }
  ++nTotalErrors;
}

void TLogging::SendToSyslog(const std::string& text, TOrvaneSyslogLvl level) {
  if (!pSyslogEnabled || !IdSysLog1) return;
  // The threshold applies to syslog alone; file and text control get every
  // line.
  const auto number = static_cast<std::uint8_t>(level);
  if (number > pLogLevel) return;
  try {
    IdSysLog1->Send(number, pFacility, pAppendExecName ? pExecName + text : text);
  } catch (...) {
    // Syslog is a mirror of the log; its failures must not stop logging.
  }
}

void TLogging::KeepWaiting(std::string line) {
  if (pLogMessageBuffer.size() >= pMaxWaitingLines) {
    if (pLogMessageBuffer.empty()) {
      ++pDroppedLines;
      return;
    }
    pLogMessageBuffer.pop_front();
    ++pDroppedLines;
  }
  pLogMessageBuffer.push_back(std::move(line));
}

void TLogging::WriteToFile(const std::string& line) {
  if (!OpenLogFile()) {
    KeepWaiting(line);
    return;
  }
  // One write: a note on lines lost while the file was unreachable, the
  // waiting lines in the order they came, then this line.
  std::deque<std::string> lines;
  if (pDroppedLines > 0) {
    lines.push_back(FormatLine(
        fmt::format("{} log lines were dropped while the log file could not be opened", pDroppedLines),
        TOrvaneSyslogLvl::slWarning));
    pDroppedLines = 0;
  }
  for (auto& waiting : pLogMessageBuffer) lines.push_back(std::move(waiting));
  pLogMessageBuffer.clear();
  lines.push_back(line);
  std::string bytes;
  for (const auto& l : lines) {
    bytes += l;
    bytes += kLineEnd;
  }
  std::size_t written = LogFile.Write(bytes);
  CloseLogFile();
  if (written == bytes.size()) return;
  // The write stopped early (a full disk, say): lines that did not reach the
  // file in full wait for the next message.
  for (auto& l : lines) {
    const std::size_t size = l.size() + 2;
    if (written >= size) {
      written -= size;
      continue;
    }
    written = 0;
    KeepWaiting(std::move(l));
  }
}

void TLogging::WriteToGui(const std::string& line) {
  try {
    if (!GuiMemo->IsAlive()) return;
    GuiMemo->InsertFirstLine(PrependDateToGuiStr(line));
    if (GuiMemo->LineCount() > pMemoNumRows + 1) GuiMemo->DeleteLine(pMemoNumRows + 1);
  } catch (...) {
    // The control is a mirror of the log; its failures must not stop logging.
  }
}

std::string TLogging::HeaderBlock() const {
  std::string name = pProductName;
  if (name.empty()) {
    name = ExecutableFileName();
    // Without ".exe" (POSIX) the whole name is the header name.
    const auto exe = FindExe(name);
    if (exe != std::string::npos) name.resize(exe);
  }
  const std::size_t width = std::max<std::size_t>(DisplayLength(name) + 16, 55);
  const std::string stars(width + 1, '*');
  std::string block;
  auto star = [&] { block += stars + kLineEnd; };
  auto box = [&](const std::string& content) {
    block += content;
    const std::size_t length = DisplayLength(content);
    if (length < width - 1) block.append(width - 1 - length, ' ');
    block += "**";
    block += kLineEnd;
  };
  star();
  box("** " + name + " - Logfile");
  box("**");
  box("** This file contains all messages ");
  box("** of Orvane Logging class");
  box("**");
  star();
  box("** Available Log Levels: ");
  box("** ");
  for (const auto& text : kSeverityText) box("** - " + text);
  box("** ");
  box("** Severity in decreasing order");
  box("** Higher levels include lower levels");
  box("** e.g. Log Level \"Alert\" will log Emergency+Alert");
  box("** e.g. Log Level \"Error\" will log");
  box("**   Emergency + Alert + Critical + Error");
  box("** ");
  star();
  block += kLineEnd;
  return block;
}

bool TLogging::OpenLogFile() {
  // A file held by another process may free up in a moment: retry a few
  // times, pausing only between failed attempts.
  for (int attempt = 0; attempt <= pMaxTryFileOpen; ++attempt) {
    const auto result = LogFile.Open(pDbgLogFile);
    if (result == TLogFile::TOpenResult::Created) {
      const std::string header = HeaderBlock();
      if (LogFile.Write(header) != header.size()) {
        // A header cut short would stay so: only a newly created file gets
        // one. Remove the file so that a later message creates it afresh;
        // a full disk does not clear in milliseconds, so no retry now.
        LogFile.Discard();
        return false;
      }
    }
    if (result != TLogFile::TOpenResult::Failed) return true;
    if (attempt < pMaxTryFileOpen) std::this_thread::sleep_for(kOpenRetryPause);
  }
  return false;
}

void TLogging::CloseLogFile() { LogFile.Close(); }

void TLogging::ReadCmdLineArgs() {
  pcmd = TLogCmdLineSwitches{};
  if (ArgsChecked) return;
  ArgsChecked = true;
  try {
    c = std::make_unique<TCmdLineParaHandler>(true, false);
    pcmd = ReadLogCmdLineSwitches(*c);
  } catch (...) {
    // An unreadable command line leaves the switches absent; the logger
    // must not keep the program from starting.
    pcmd = TLogCmdLineSwitches{};
  }
}

void TLogging::ShowLoggingHelp() {
  if (!c) return;
  if (pcmd.ShowCmdLineDlg) {
    pcmd.ShowCmdLineDlg = false;
    c->HelpDlg_Show();
  }
  c.reset();
}

void StartLogging(TLogTimerFactory timers) {
  TLogSettings surroundings;
  surroundings.TimerFactory = std::move(timers);
  surroundings.SyslogSinkFactory = MakeSyslogSinkFactory();
  StartLogging(FindLogSettingsFile(), surroundings);
}

void StartLogging(const std::string& settingsFile, const TLogSettings& surroundings) {
  if (Logger) return;
  SetCallstackCapture(true);
  Logger = new TLogging(nullptr, "", settingsFile, surroundings);
  Logger->ApplicationStartMessage();
  SetSystemDebugHook(&ForwardSystemDebug);
  Logger->ShowLoggingHelp();
}

void StartLogging(const TLogSettings& settings) {
  if (Logger) return;
  SetCallstackCapture(true);
  Logger = new TLogging(nullptr, "", settings);
  Logger->ApplicationStartMessage();
  SetSystemDebugHook(&ForwardSystemDebug);
}

void StopLogging() {
  if (Logger) {
    Logger->ApplicationEndMessage();
    delete Logger;
    Logger = nullptr;
  }
  SetSystemDebugHook(nullptr);
  SetCallstackCapture(false);
}

}  // namespace orvane
