#include "app/RealLaunchSystem.h"

#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include "net/PacScript.h"
#endif
#include "system/FolderTrust.h"
#include "system/ProcessHelper.h"
#include "system/ShellOpen.h"
#include "system/SysUtils.h"

namespace orvane {

std::uint32_t TRealLaunchSystem::GetPidByExeName(const std::string& exeName) {
  return orvane::GetPidByExeName(exeName);
}

std::string TRealLaunchSystem::GetProcessImagePath(std::uint32_t pid) {
  return orvane::GetProcessImagePath(pid);
}

bool TRealLaunchSystem::KillProcess(std::uint32_t pid) { return orvane::KillProcess(pid); }

std::string TRealLaunchSystem::GetFileVersionNumbers(const std::string& file, int& major, int& minor,
                                                     int& release, int& build) {
  return orvane::GetFileVersionNumbers(file, major, minor, release, build);
}

// The shell's own verdict is not examined by the callers; it reaches the
// debug output through the system library.
void TRealLaunchSystem::ShellOpen(const std::string& file, const std::string& params) {
  orvane::ShellOpen(file, params);
}

void TRealLaunchSystem::ShellOpenChecked(const TCheckedFile& file, const std::string& params) {
  orvane::ShellOpenChecked(file, params);
}

std::string TRealLaunchSystem::GetProgramFolder() { return orvane::GetProgramFolder(); }

namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

}  // namespace

std::string TRealLaunchSystem::GetExecutablePath() { return orvane::GetExecutablePath(); }

std::string TRealLaunchSystem::GetConfigPath(const std::string& sub) { return orvane::GetConfigPath(sub); }

bool TRealLaunchSystem::IsSameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(PathOf(a), PathOf(b), ec);
}

std::string TRealLaunchSystem::CopyProgram(const std::string& source, const std::string& destination) {
  const auto slash = destination.find_last_of(PathDelimiters);
  const std::string folder = slash == std::string::npos ? std::string() : destination.substr(0, slash + 1);
  // Below the machine-wide folder the folders are made private, and ones
  // that another user made or may write are refused.
  const std::string folderError = ForceTrustedDirectories(folder);
  if (!folderError.empty()) return folderError;
  std::error_code ec;
  // An older copy is replaced by the copy itself and never deleted
  // beforehand: when the copy fails, the older one is still there.
  if (!CopyFiles(source, destination, false)) return "the program could not be copied to " + destination;
  // A folder of that name would have taken the copy inside it.
  if (!fs::is_regular_file(PathOf(destination), ec))
    return "the program could not be copied to " + destination;
#ifndef _WIN32
  // Proxy scripts are evaluated by a companion program that is looked for
  // beside the running program; the copy needs its own.
  const auto sourceSlash = source.find_last_of(PathDelimiters);
  const std::string sourceFolder =
      sourceSlash == std::string::npos ? std::string() : source.substr(0, sourceSlash + 1);
  const std::string companion = sourceFolder + kPacEvaluatorName;
  if (fs::is_regular_file(PathOf(companion), ec) && !CopyFiles(companion, folder + kPacEvaluatorName, false))
    return "the proxy script helper could not be copied to " + folder;
#endif
  return {};
}

TShortcutResult TRealLaunchSystem::CreateShortcut(const std::string& shortcutName,
                                                  const std::string& description, const std::string& target) {
  return orvane::CreateShortcut(shortcutName, description, target);
}

}  // namespace orvane
