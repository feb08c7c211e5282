// Fixtures for the tests of the logger's settings: the complete default
// settings file, a command line of the test's choosing, and a settings file
// in the machine's real location that is put back as it was afterwards.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cmdline/CmdLineParaHandler.h"
#include "support/TestSupport.h"

namespace orvane::test {

// The file a first start writes.
inline const char* const kDefaultLogSettingsText =
    "[Main]\r\n"
    "LogClassScheme=9\r\n"
    "Enabled=0\r\n"
    "DoSyslog=1\r\n"
    "DoLogToFile=0\r\n"
    "AlwaysShowDebugMessages=1\r\n"
    "\r\n"
    "[LogToFile]\r\n"
    "PrependDateToLog=1\r\n"
    "DebugLogFile=log_debug.log\r\n"
    "LogFileMaxSizeInMB=5\r\n"
    "EnableLogRotation=1\r\n"
    "CompressOldLogs=1\r\n"
    "\r\n"
    "[SysLogSeverity]\r\n"
    "7=slDebug\r\n"
    "6=slInformational\r\n"
    "5=slNotice\r\n"
    "4=slWarning\r\n"
    "3=slError\r\n"
    "2=slCritical\r\n"
    "1=slAlert\r\n"
    "0=slEmergency\r\n"
    "\r\n"
    "[SysLogFacility]\r\n"
    "23=sfLocalUseSeven\r\n"
    "22=sfLocalUseSix\r\n"
    "21=sfLocalUseFive\r\n"
    "20=sfLocalUseFour\r\n"
    "19=sfLocalUseThree\r\n"
    "18=sfLocalUseTwo\r\n"
    "17=sfLocalUseOne\r\n"
    "16=sfLocalUseZero\r\n"
    "\r\n"
    "[Syslog]\r\n"
    "ServerName=127.0.0.1\r\n"
    "Severity=slDebug\r\n"
    "Facility=sfLocalUseZero\r\n"
    "ServerPort=514\r\n"
    "AppendExecNameToLog=1\r\n"
    "\r\n"
    "[Memo]\r\n"
    "NumRows=50\r\n"
    "PrependDateToLog=1\r\n";

// The default file with one line replaced, e.g. ("Enabled=0", "Enabled=1").
inline std::string DefaultLogSettingsWith(const std::vector<std::pair<std::string, std::string>>& changes) {
  std::string text = kDefaultLogSettingsText;
  for (const auto& [from, to] : changes) {
    const auto pos = text.find("\n" + from + "\r");
    if (pos == std::string::npos) throw std::logic_error("no line " + from);
    text.replace(pos + 1, from.size(), to);
  }
  return text;
}

// The program's command line (argument 0 first) for the life of the object;
// afterwards the one in force before.
class ScopedProcessArguments {
 public:
  explicit ScopedProcessArguments(const std::vector<std::string>& args) : previous_(GetProcessArguments()) {
    Set(args);
  }
  ~ScopedProcessArguments() { Set(previous_); }
  ScopedProcessArguments(const ScopedProcessArguments&) = delete;
  ScopedProcessArguments& operator=(const ScopedProcessArguments&) = delete;

 private:
  static void Set(const std::vector<std::string>& args) {
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    SetProcessArguments(static_cast<int>(argv.size()), argv.data());
  }
  std::vector<std::string> previous_;
};

// A file whose content is put back (or which is removed again) when the
// object goes: for the settings file in the machine's real location (the
// Wine prefix's common application-data folder in the Windows tests).
class ScopedFileRestore {
 public:
  explicit ScopedFileRestore(std::filesystem::path file) : file_(std::move(file)) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(file_, ec)) previous_ = ReadFileBytes(file_);
  }
  ~ScopedFileRestore() {
    std::error_code ec;
    if (previous_)
      WriteFileBytes(file_, *previous_);
    else
      std::filesystem::remove(file_, ec);
  }
  ScopedFileRestore(const ScopedFileRestore&) = delete;
  ScopedFileRestore& operator=(const ScopedFileRestore&) = delete;

 private:
  std::filesystem::path file_;
  std::optional<std::string> previous_;
};

}  // namespace orvane::test
