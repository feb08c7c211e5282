// Folders, unique names, date stamps, file copies and file versions.
//
// Every folder returned here ends with the platform separator ("\" on
// Windows, "/" on POSIX), except the empty text that means "not available".
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace orvane {

#ifdef _WIN32
inline constexpr char PathDelim = '\\';
// Characters that end the folder part of a path ("C:name" has folder "C:").
inline constexpr const char* PathDelimiters = "\\:";
#else
inline constexpr char PathDelim = '/';
inline constexpr const char* PathDelimiters = "/";
#endif

// Full path of the running executable.
std::string GetExecutablePath();

// Folder of the running executable, with trailing separator.
std::string GetProgramFolder();

// The text followed by the platform separator unless it already ends with
// one; an empty text becomes the separator alone.
std::string AddTrailingBackslash(const std::string& folder);

// Creates the folder (one level) when missing and waits, in 100 ms steps, at
// most retries + 1 times for it to appear. Never reports.
void ForceDirectoryWait(const std::string& folder, int retries);

// The same with the pause supplied by the caller (tests count the pauses).
void ForceDirectoryWait(const std::string& folder, int retries,
                        const std::function<void(std::chrono::milliseconds)>& pause);

// Full path <folder><prefix><5 digits>.<extension> of a file that did not
// exist when it was chosen; the file is not created.
std::string GetUniqueFileName(const std::string& folder, const std::string& prefix,
                              const std::string& extension);

// yyyymmdd_hhmmss of the given local time. Touches no process-wide locale or
// format state.
std::string DateTimeToFileStamp(std::chrono::system_clock::time_point t);

// Copies source (a file or a folder) to destination; with renameOnCollision
// an existing target is kept and the copy gets the first free name
// "name (2).ext", "name (3).ext", ...; without it an existing target is
// replaced. A destination that is an existing folder receives the source
// under its own name. True on success.
bool CopyFiles(const std::string& source, const std::string& destination, bool renameOnCollision);

// The program's main window as the owner of the shell's copy dialogs (its
// native handle, an HWND on Windows; POSIX copies show no dialog). The window
// sets itself when it is created and clears itself when it goes, so that a
// copy never borrows whatever window happens to be active.
void SetShellOwnerWindow(void* nativeHandle);
void* ShellOwnerWindow();

// path with " (n)" put before its extension: "/d/a.tar.gz", 2 -> "/d/a.tar (2).gz";
// a leading dot does not start an extension (".profile (2)").
std::string NumberedCopyName(const std::string& path, int n);

// The company's folder ("Orvane mbH" + separator [+ sub + separator]) inside
// the machine-wide or per-user application-data folder; empty on failure.
std::string GetCompanyDataFolder(const std::string& sub, bool perUser);

// Configuration folder (registry-style override "ConfDir", else the company
// folder with sub: machine-wide on Windows, per-user on POSIX); computed once
// per process. A machine-wide default whose folders exist but cannot be
// trusted (FolderTrust.h) gives way to the per-user company folder, with a
// debug line saying why.
std::string GetConfigPath(const std::string& sub);

// Temporary folder (override "TempDir", else the system's); computed once.
std::string GetTempDirectory();

// Empties the configuration and temporary folder caches, so the next call
// works its answer out afresh. The program calls it once at shutdown; tests
// call it to start from an empty cache.
void ReleaseFolderCaches();

// " <prefix>major.minor.release build N" (or "_bN", or without build), or
// "GetFileVersionInfo failed: (code) message". Empty file = this program.
std::string GetFileVersionString(const std::string& file, bool withBuild, const std::string& prefix,
                                 bool shortForm);

// Empty text on success with the four numbers set; on failure the failure
// text and the outputs untouched. Empty file = this program.
std::string GetFileVersionNumbers(const std::string& file, int& major, int& minor, int& release, int& build);

}  // namespace orvane
