// The program's one diagnostic channel.
//
// PLACEHOLDER: this is the contract the other folders code against (the
// global `Logger`, `Debug`, `DebugFmt`, `Error`); the logger core replaces the
// body without changing these signatures.
#pragma once

#include <fmt/printf.h>

#include <cstdint>
#include <string>

namespace orvane {

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

class TLogging {
 public:
  void Error(const std::string& text);
  void Debug(const std::string& text);

  // printf-style (%s, %d, %.1f); formats only when debug output is on.
  template <typename... Args>
  void DebugFmt(const std::string& pattern, const Args&... args) {
    if (pAlwaysShwDbg) Debug(fmt::sprintf(pattern, args...));
  }

 private:
  bool pAlwaysShwDbg = false;
};

// The process-wide instance; null before start-up and after shutdown, so code
// that can run outside that window tests it first.
extern TLogging* Logger;

}  // namespace orvane
