// Operating-system primitives behind the folder, override and version
// functions: the system's application-data and temporary folders, the
// per-machine and per-user configuration folders that hold the override
// files, lower-casing for value names and the system's error texts.
#pragma once

#include <ctime>
#include <string>

namespace orvane {

// The machine-wide (perUser false) or per-user application-data folder with a
// trailing separator; empty when the system cannot tell.
std::string GetApplicationDataFolder(bool perUser);

// The machine-wide or per-user folder for configuration files (the override
// files live below it) with a trailing separator; empty when unknown.
std::string GetConfigurationFolder(bool perUser);

// Whether the configuration folder, which receives the installed copy of the
// program, defaults to the per-user application-data folder. On Windows the
// machine-wide one (ProgramData) is writable for users; on POSIX it is
// /etc/xdg, which users cannot write and which is no place for programs.
bool ConfigFolderIsPerUser();

// The system's temporary folder with a trailing separator.
std::string GetSystemTempFolder();

// The local calendar time of t (thread-safe; no shared state).
std::tm ToLocalTime(std::time_t t);

// Lower-case form of a UTF-8 text, used for the override value names.
// Characters the lower-casing does not know (and bytes that are not valid
// UTF-8) stay as they are.
std::string LowerCaseText(const std::string& text);

// The system's message for an error code (errno on POSIX, the last-error code
// on Windows) without trailing blanks, line breaks and full stops.
std::string SystemErrorMessage(int code);

// Removes trailing blanks, tabs, line breaks and full stops.
std::string TrimSystemMessage(std::string message);

}  // namespace orvane
