#include "system/SysUtils.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <ctime>
#include <filesystem>
#include <random>
#include <system_error>
#include <thread>

#include "system/DebugHook.h"
#include "system/FileVersion.h"
#include "system/FolderTrust.h"
#include "system/OSFunctions.h"
#include "system/Registry.h"

namespace orvane {
namespace {

const char* const kCompanyFolder = "Orvane mbH";

void* g_shellOwnerWindow = nullptr;

struct FolderCache {
  bool computed = false;
  std::string folder;
};
FolderCache g_configCache;
FolderCache g_tempCache;

std::string FormatVersion(const TFileVersion& v, bool withBuild, const std::string& prefix, bool shortForm) {
  if (!withBuild) return fmt::sprintf(" %s%d.%d.%d", prefix, v.major, v.minor, v.release);
  if (shortForm) return fmt::sprintf(" %s%d.%d.%d_b%d", prefix, v.major, v.minor, v.release, v.build);
  return fmt::sprintf(" %s%d.%d.%d build %d", prefix, v.major, v.minor, v.release, v.build);
}

std::string VersionFailure(int code) {
  return fmt::sprintf("GetFileVersionInfo failed: (%d) %s", code, SystemErrorMessage(code));
}

// The default configuration folder, unless it is machine-wide and one of its
// folders exists but cannot be trusted: then the per-user one. The copy of
// the program and the tools it downloads and starts live there, so a folder
// another user can write is no place for them.
std::string TrustedDefaultConfigFolder(const std::string& sub, const std::string& folder) {
  if (ConfigFolderIsPerUser() || folder.empty()) return folder;
  const TTrust trust = CheckFoldersBelow(GetApplicationDataFolder(false), folder);
  if (trust.Trusted) return folder;
  const std::string own = GetCompanyDataFolder(sub, true);
  SystemDebug("Config folder " + folder + " not trusted: " + trust.Reason + "; using " + own + " instead");
  return own;
}

}  // namespace

std::string AddTrailingBackslash(const std::string& folder) {
  if (!folder.empty() && folder.back() == PathDelim) return folder;
  return folder + PathDelim;
}

std::string GetProgramFolder() {
  const std::string exe = GetExecutablePath();
  const auto pos = exe.find_last_of(PathDelimiters);
  return AddTrailingBackslash(pos == std::string::npos ? std::string() : exe.substr(0, pos + 1));
}

void ForceDirectoryWait(const std::string& folder, int retries,
                        const std::function<void(std::chrono::milliseconds)>& pause) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) std::filesystem::create_directory(folder, ec);
  // The folder may live on a share that shows it only after a moment; look
  // again after each pause, and pause once more after seeing it.
  bool seen = false;
  for (int i = 0;;) {
    if (std::filesystem::is_directory(folder, ec)) seen = true;
    if (retries < i) break;
    ++i;
    pause(std::chrono::milliseconds(100));
    if (seen) break;
  }
}

void ForceDirectoryWait(const std::string& folder, int retries) {
  ForceDirectoryWait(folder, retries, [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); });
}

std::string GetUniqueFileName(const std::string& folder, const std::string& prefix,
                              const std::string& extension) {
  thread_local std::minstd_rand rng{std::random_device{}()};
  std::uniform_int_distribution<int> dist(0, 99998);
  const std::string ext = (!extension.empty() && extension.front() == '.') ? extension.substr(1) : extension;
  const std::string base = AddTrailingBackslash(folder) + prefix;
  std::string name;
  std::error_code ec;
  do {
    name = base + fmt::format("{:05d}", dist(rng)) + "." + ext;
  } while (std::filesystem::exists(std::filesystem::symlink_status(name, ec)));
  if (name.back() == '.') name.pop_back();
  return name;
}

std::string DateTimeToFileStamp(std::chrono::system_clock::time_point t) {
  const std::tm local = ToLocalTime(std::chrono::system_clock::to_time_t(t));
  return fmt::format("{:04d}{:02d}{:02d}_{:02d}{:02d}{:02d}", local.tm_year + 1900, local.tm_mon + 1,
                     local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

std::string NumberedCopyName(const std::string& path, int n) {
  const auto slash = path.find_last_of(PathDelimiters);
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  auto dot = path.find_last_of('.');
  if (dot == std::string::npos || dot <= nameStart) dot = path.size();
  return path.substr(0, dot) + fmt::format(" ({})", n) + path.substr(dot);
}

std::string GetCompanyDataFolder(const std::string& sub, bool perUser) {
  const std::string base = GetApplicationDataFolder(perUser);
  if (base.empty()) return {};
  std::string folder = AddTrailingBackslash(base) + kCompanyFolder + PathDelim;
  if (!sub.empty()) folder += AddTrailingBackslash(sub);
  return folder;
}

std::string GetConfigPath(const std::string& sub) {
  if (g_configCache.computed) return g_configCache.folder;
  std::string fallback = GetCompanyDataFolder(sub, ConfigFolderIsPerUser());
  g_configCache.folder = fallback;
  g_configCache.computed = true;

  const std::string exe = LowerCaseText(GetExecutablePath());
  SystemDebug("First call to function GetConfigPath from: " + exe);
  SystemDebug("Check ConfDir regkey in HKLM\\Software\\Orvane mbH Tessel\\ " + exe);
  const std::string value = ReadCompanyRegString("ConfDir", exe, "");
  if (!value.empty()) {
    SystemDebug("Entry found, set config folder to: " + value);
    g_configCache.folder = AddTrailingBackslash(value);
  } else {
    fallback = TrustedDefaultConfigFolder(sub, fallback);
    g_configCache.folder = fallback;
    SystemDebug("entry not found, using default config dir: " + fallback);
  }
  return g_configCache.folder;
}

std::string GetTempDirectory() {
  if (g_tempCache.computed) return g_tempCache.folder;
  const std::string fallback = GetSystemTempFolder();
  g_tempCache.folder = fallback;
  g_tempCache.computed = true;

  const std::string exe = LowerCaseText(GetExecutablePath());
  SystemDebug("First call to function GetTempDirectory from: " + exe);
  SystemDebug("Check TempDir regkey in HKLM\\Software\\Orvane mbH Tessel\\ ");
  const std::string value = ReadCompanyRegString("TempDir", exe, "");
  if (!value.empty()) {
    SystemDebug("Entry found, set tempfolder to: " + value);
    g_tempCache.folder = AddTrailingBackslash(value);
  } else {
    SystemDebug("entry not found, using default temp dir: " + fallback);
  }
  return g_tempCache.folder;
}

void ReleaseFolderCaches() {
  g_configCache = FolderCache{};
  g_tempCache = FolderCache{};
}

std::string GetFileVersionString(const std::string& file, bool withBuild, const std::string& prefix,
                                 bool shortForm) {
  const TFileVersionQuery query = QueryFileVersion(file);
  if (query.error != 0) return VersionFailure(query.error);
  // A version block without fixed information gives no text at all.
  if (query.fixedInfoError != 0) return {};
  return FormatVersion(query.version, withBuild, prefix, shortForm);
}

std::string GetFileVersionNumbers(const std::string& file, int& major, int& minor, int& release, int& build) {
  const TFileVersionQuery query = QueryFileVersion(file);
  if (query.error != 0) return VersionFailure(query.error);
  if (query.fixedInfoError != 0) return VersionFailure(query.fixedInfoError);
  major = query.version.major;
  minor = query.version.minor;
  release = query.version.release;
  build = query.version.build;
  return {};
}

void SetShellOwnerWindow(void* nativeHandle) { g_shellOwnerWindow = nativeHandle; }

void* ShellOwnerWindow() { return g_shellOwnerWindow; }

}  // namespace orvane
