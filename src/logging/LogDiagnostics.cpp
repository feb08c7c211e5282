// TLogging's developer diagnostics: stopwatches, counters, list dumps,
// watched lists, exception reports, the last system error and the build
// description.
#include "logging/LogDiagnostics.h"

#include <fmt/printf.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <typeinfo>
#include <utility>

#include "logging/Logging.h"
#include "system/OSError.h"
#include "system/OSFunctions.h"
#include "system/SysUtils.h"

#if __has_include(<cxxabi.h>)
#include <cxxabi.h>

#include <cstdlib>
#endif

namespace orvane {

namespace {

TExceptionBoxHook& ExceptionBoxHook() {
  static TExceptionBoxHook hook;
  return hook;
}

bool gCaptureCallstack = false;

bool SameName(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

template <typename T>
auto FindName(std::vector<T>& items, const std::string& name) {
  return std::find_if(items.begin(), items.end(), [&](const T& item) { return SameName(item.Name, name); });
}

// The text after the first "=", empty when there is none.
std::string ValuePart(const std::string& entry) {
  const auto pos = entry.find('=');
  return pos == std::string::npos ? std::string() : entry.substr(pos + 1);
}

const char* EnabledText(bool on) { return on ? "Enabled" : "Disabled"; }

// The build's own description. The build type, the sanitizer and -Werror
// switches, the compiler and the target come from CMake (logging's
// CMakeLists.txt); assertions and optimisation from the compiler's own
// macros, which say what this file was really compiled with.
std::string CompilerSettingsText() {
  const std::string buildType = ORVANE_BUILD_TYPE;
#ifdef NDEBUG
  constexpr bool assertions = false;
#else
  constexpr bool assertions = true;
#endif
#ifdef __OPTIMIZE__
  constexpr bool optimised = true;
#else
  constexpr bool optimised = false;
#endif
  const std::vector<std::string> lines = {
      std::string("Debug: ") + (buildType == "Debug" ? "Defined" : "Not Defined"),
      "Build Type: " + (buildType.empty() ? std::string("None") : buildType),
      std::string("Assertions: ") + EnabledText(assertions),
      std::string("Optimisation: ") + EnabledText(optimised),
      std::string("Sanitizers (address, undefined): ") + EnabledText(ORVANE_BUILD_SANITIZE != 0),
      std::string("Warnings As Errors: ") + EnabledText(ORVANE_BUILD_WERROR != 0),
      std::string("Compiler: ") + ORVANE_BUILD_COMPILER,
      fmt::sprintf("Target: %s (%d-bit)", ORVANE_BUILD_TARGET, static_cast<int>(sizeof(void*) * 8)),
  };
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace

std::uint32_t LogTickCount() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(ms.count());
}

void SetExceptionBoxHook(TExceptionBoxHook hook) { ExceptionBoxHook() = std::move(hook); }

void SetCallstackCapture(bool on) { gCaptureCallstack = on; }

std::string DemangleName(const char* name) {
#if __has_include(<cxxabi.h>)
  int status = 0;
  char* demangled = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  if (status == 0 && demangled) {
    std::string result = demangled;
    std::free(demangled);
    return result;
  }
  std::free(demangled);
#endif
  return name;
}

std::string ExceptionClassName(const std::exception& e) { return DemangleName(typeid(e).name()); }

// Stopwatches.

std::uint32_t TLogging::Elapsed(int TimerNum) const {
  const std::uint32_t* start = TimerNum == 1   ? &pdt1
                               : TimerNum == 2 ? &pdt2
                               : TimerNum == 3 ? &pdt3
                                               : nullptr;
  // Unsigned subtraction: a clock that wrapped past 0 since the start still
  // gives the time in between.
  return start ? static_cast<std::uint32_t>(pTickClock() - *start) : 0;
}

void TLogging::TimerStart(int TimerNum) {
  std::uint32_t* start = TimerNum == 1 ? &pdt1 : TimerNum == 2 ? &pdt2 : TimerNum == 3 ? &pdt3 : nullptr;
  if (start) *start = pTickClock();
}

std::string TLogging::TimerStop(int TimerNum, bool s_or_ms) const {
  const std::uint32_t ms = Elapsed(TimerNum);
  return s_or_ms ? fmt::sprintf("%.1f", ms / 1000.0) : fmt::sprintf("%d", static_cast<std::int64_t>(ms));
}

void TLogging::TimerStopAndLog(int TimerNum, const std::string& EventName, bool s_or_ms,
                               TOrvaneSyslogLvl Level) {
  const std::uint32_t ms = Elapsed(TimerNum);
  const std::string text =
      s_or_ms ? fmt::sprintf("Event: %s | dt: %.1f s", EventName, ms / 1000.0)
              : fmt::sprintf("Event: %s | dt: %d ms", EventName, static_cast<std::int64_t>(ms));
  if (Level == TOrvaneSyslogLvl::slDebug)
    Debug(text);
  else
    WriteMessage(text, Level);
}

// Counters.

std::int32_t TLogging::IncDebugCounter(const std::string& FuncCall) {
  auto it = FindName(pFuncCallPairs, FuncCall);
  if (it == pFuncCallPairs.end()) {
    pFuncCallPairs.push_back({FuncCall, 1});
    return 1;
  }
  it->Count = static_cast<std::int32_t>(static_cast<std::uint32_t>(it->Count) + 1);
  return it->Count;
}

void TLogging::DebugCounterOutput(const std::string& FuncCall) {
  const std::int32_t count = IncDebugCounter(FuncCall);
  Debug(fmt::sprintf("Key: %s (%d)", FuncCall, count));
}

void TLogging::DebugCounterReset(const std::string& FuncCall) {
  auto it = FindName(pFuncCallPairs, FuncCall);
  if (it != pFuncCallPairs.end()) it->Count = 0;
}

// String lists.

void TLogging::DebugSL(const std::string& ListName, const std::vector<std::string>& SL) {
  if (!pAlwaysShwDbg) return;
  Debug(fmt::sprintf(">>> Output Stringlist: %s (%d)", ListName, SL.size()));
  for (const auto& entry : SL) Debug(entry);
  Debug("<<< Done");
}

void TLogging::DebugSLDiff(const std::string& ListName, const std::string& AddComment,
                           const std::vector<std::string>& SL, bool ForceReset) {
  std::size_t first = 0;
  auto it = FindName(pSLDiffCounts, ListName);
  if (it == pSLDiffCounts.end()) {
    pSLDiffCounts.push_back({ListName, 0});
    it = std::prev(pSLDiffCounts.end());
    Debug(fmt::sprintf(">>> Output New Stringlist: %s (%d Elements)", ListName, SL.size()));
  } else {
    first = ForceReset ? 0 : static_cast<std::size_t>(it->Count);
    if (!AddComment.empty())
      Debug(fmt::sprintf(">>> Output Diff for Stringlist: %s (starting from Element %d)", ListName, first));
  }
  it->Count = static_cast<std::int32_t>(SL.size());
  if (!AddComment.empty()) Debug(fmt::sprintf("(%s) %s", ListName, AddComment));
  if (!pAlwaysShwDbg) return;
  for (std::size_t i = first; i < SL.size(); ++i) Debug(fmt::sprintf("%s [%d]: %s", ListName, i, SL[i]));
}

// Watched lists.

void TLogging::MonitorListAdd(const std::string& LstName, TWatchedList LstIn) {
  if (!MonitoredListTimer && pTimerFactory)
    MonitoredListTimer = pTimerFactory(1000, [this] { MonitoredListTimerTick(); });
  const auto list = LstIn.lock();
  MonitoredLists.push_back({LstName, std::move(LstIn), list ? list->size() : 0});
  if (MonitoredListTimer) MonitoredListTimer->Start();
}

void TLogging::MonitorListRemove(const std::string& LstName) {
  auto it = FindName(MonitoredLists, LstName);
  if (it != MonitoredLists.end()) MonitoredLists.erase(it);
}

void TLogging::MonitorListRemoveAll() { MonitoredLists.clear(); }

void TLogging::MonitoredListTimerTick() {
  if (MonitoredLists.empty()) {
    if (MonitoredListTimer) MonitoredListTimer->Stop();
    return;
  }
  for (std::size_t n = 0; n < MonitoredLists.size();) {
    auto& watched = MonitoredLists[n];
    const auto list = watched.List.lock();
    if (!list) {
      // Its owner destroyed it: nothing left to watch.
      MonitoredLists.erase(MonitoredLists.begin() + static_cast<std::ptrdiff_t>(n));
      continue;
    }
    try {
      for (std::size_t i = watched.Reported; i < list->size(); ++i)
        DebugFmt("SL(%s) (%d) %s", watched.Name, i, ValuePart((*list)[i]));
      watched.Reported = list->size();
    } catch (const std::exception& e) {
      // A tick runs from the event loop: nothing above it could handle this.
      Error("SL(" + watched.Name + ") could not be read: " + e.what());
    }
    ++n;
  }
}

// Exceptions.

void TLogging::LogException(const std::exception& _e, const std::string& _Where, bool _IncludeCallstack) {
  Error((_Where.empty() ? std::string() : _Where + ": ") + ExceptionClassName(_e) + ": " + _e.what());
  // The stack goes out as Debug lines: not worth capturing when they are off.
  if (!_IncludeCallstack || !pAlwaysShwDbg) return;
  std::vector<std::string> stack;
  GetCallstack(stack);
  for (const auto& line : stack) Debug(line);
}

void TLogging::HandleAppException(const void* /*_Sender*/, const std::exception& _e) {
  LogException(_e, "", true);
}

void TLogging::GetCallstack(std::vector<std::string>& _sl) const {
  if (!gCaptureCallstack) return;
  // Leave out GetCallstack itself.
  auto frames = CaptureCallstack(1);
  _sl.insert(_sl.end(), std::make_move_iterator(frames.begin()), std::make_move_iterator(frames.end()));
}

std::int32_t TLogging::ShowException(const std::exception& _e, const std::string& /*_Message*/,
                                     const std::string& /*_OptionDesc*/, const void* /*_Owner*/) const {
  std::vector<std::string> stack;
  GetCallstack(stack);
  // The first frame is the code that shows the exception.
  const std::string procedure = stack.empty() ? std::string() : stack.front();
  std::string stackText;
  for (const auto& line : stack) stackText += "\r\n" + line;
  const std::string text =
      fmt::sprintf("Exception Class: %s\r\nMessage: %s\r\nProcedure: %s\r\n\r\nCallStack: \r\n%s",
                   ExceptionClassName(_e), _e.what(), procedure, stackText);
  if (const auto& hook = ExceptionBoxHook()) hook(text);
  return 0;
}

// The last system error.

std::uint32_t TLogging::GetLastSysError(const std::string& AdditionalPrefix) {
  // First: anything else could overwrite the code.
  const int code = GetLastOSError();
  if (code == 0) return 0;
  const std::string message = SystemErrorMessage(code);
  Error(AdditionalPrefix.empty() ? message : fmt::sprintf("(%s) %s", AdditionalPrefix, message));
  return static_cast<std::uint32_t>(code);
}

bool TLogging::WriteCompilerSettingsToFile() {
  const std::string folder = GetTempDirectory();
  if (folder.empty()) return false;
  return ReplaceFileContents(folder + "compilerinfo.txt", CompilerSettingsText());
}

void TLogging::ApplicationLoggingRestartMessage() { Debug("Executed forced restart of Logging Class"); }

}  // namespace orvane
