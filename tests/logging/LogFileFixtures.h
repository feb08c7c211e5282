// Log-file fixtures shared by the logging tests of every platform.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "logging/Logging.h"
#include "support/TestSupport.h"

namespace orvane::test {

inline const char* const kToolHeader =
    "********************************************************\r\n"
    "** Tool - Logfile                                     **\r\n"
    "**                                                    **\r\n"
    "** This file contains all messages                    **\r\n"
    "** of Orvane Logging class                            **\r\n"
    "**                                                    **\r\n"
    "********************************************************\r\n"
    "** Available Log Levels:                              **\r\n"
    "**                                                    **\r\n"
    "** - Notfall: System ist unbrauchbar                  **\r\n"
    "** - Alarm: Es muss sofort etwas getan werden         **\r\n"
    "** - Kritisch: Kritischer Zustand                     **\r\n"
    "** - Fehler: Fehlerzustand                            **\r\n"
    "** - Warnung: Warnungszustand                         **\r\n"
    "** - Hinweis: Normaler, aber signifikanter Zustand    **\r\n"
    "** - Information: Informationsbotschaften             **\r\n"
    "** - Debug: Botschaften auf Debug-Ebene               **\r\n"
    "**                                                    **\r\n"
    "** Severity in decreasing order                       **\r\n"
    "** Higher levels include lower levels                 **\r\n"
    "** e.g. Log Level \"Alert\" will log Emergency+Alert    **\r\n"
    "** e.g. Log Level \"Error\" will log                    **\r\n"
    "**   Emergency + Alert + Critical + Error             **\r\n"
    "**                                                    **\r\n"
    "********************************************************\r\n"
    "\r\n";

// A path as the UTF-8 text the program's settings hold, and back.
inline std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}
inline std::filesystem::path TextPath(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// File output on, no stamps or prefixes, so lines are "(tag): text".
inline TLogSettings FileSettings(const std::filesystem::path& folder,
                                 const std::string& exe = "/opt/tool/Tool.exe") {
  TLogSettings s;
  s.LoggingEnabled = true;
  s.LogToFile = true;
  s.DebugLogFile = PathText(folder / "log_debug.log");
  s.ExecutablePath = exe;
  return s;
}

// The lines of a text, each of which must end in CR LF.
inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  if (start != text.size()) lines.push_back("<unterminated>" + text.substr(start));
  return lines;
}

// The message lines of a log file, header block skipped.
inline std::vector<std::string> MessageLines(const std::filesystem::path& file) {
  std::string text = ReadFileBytes(file);
  if (text.rfind("****", 0) == 0) {
    const auto end = text.find("*\r\n\r\n");
    if (end == std::string::npos) throw std::runtime_error("header without its end in " + file.string());
    text.erase(0, end + 5);
  }
  return SplitLines(text);
}
inline std::vector<std::string> MessageLines(const std::string& file) { return MessageLines(TextPath(file)); }

}  // namespace orvane::test
