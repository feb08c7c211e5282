// Debug output for code below the logger.
//
// The system library sits underneath the logger (the logger uses its folders
// and file versions), so it cannot call the logger directly without a library
// cycle. Instead the logger installs a hook at start-up and system code reports
// through SystemDebug(); with no hook installed the text is dropped.
#pragma once

#include <fmt/printf.h>

#include <string>

namespace orvane {

using SystemDebugHook = void (*)(const std::string& text);

void SetSystemDebugHook(SystemDebugHook hook);
void SystemDebug(const std::string& text);
bool SystemDebugEnabled();

// printf-style variant; formats only when a hook is installed.
template <typename... Args>
void SystemDebugFmt(const std::string& pattern, const Args&... args) {
  if (SystemDebugEnabled()) SystemDebug(fmt::sprintf(pattern, args...));
}

}  // namespace orvane
