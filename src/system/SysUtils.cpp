// PLACEHOLDER subset: the folder-and-version unit completes this file.
#include "system/SysUtils.h"

#include <fmt/format.h>

#include <ctime>
#include <filesystem>
#include <random>

#include "OrvaneBuildConfig.h"

namespace orvane {

std::string AddTrailingBackslash(const std::string& folder) {
  if (!folder.empty() && folder.back() == PathDelim) return folder;
  return folder + PathDelim;
}

std::string GetProgramFolder() {
  const std::string exe = GetExecutablePath();
  const auto pos = exe.find_last_of(PathDelim);
  return AddTrailingBackslash(pos == std::string::npos ? std::string() : exe.substr(0, pos + 1));
}

std::string GetUniqueFileName(const std::string& folder, const std::string& prefix,
                              const std::string& extension) {
  static std::minstd_rand rng{std::random_device{}()};
  std::uniform_int_distribution<int> dist(0, 99998);
  const std::string ext = (!extension.empty() && extension.front() == '.') ? extension.substr(1) : extension;
  std::string name;
  do {
    name = AddTrailingBackslash(folder) + prefix + fmt::format("{:05d}", dist(rng)) + "." + ext;
  } while (std::filesystem::exists(name));
  if (!name.empty() && name.back() == '.') name.pop_back();
  return name;
}

std::string DateTimeToFileStamp(std::chrono::system_clock::time_point t) {
  const std::time_t tt = std::chrono::system_clock::to_time_t(t);
  std::tm local{};
  localtime_r(&tt, &local);
  return fmt::format("{:04d}{:02d}{:02d}_{:02d}{:02d}{:02d}", local.tm_year + 1900, local.tm_mon + 1,
                     local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

std::string GetTempDirectory() {
  static const std::string cached = [] {
    const char* tmp = std::getenv("TMPDIR");
    return AddTrailingBackslash(tmp && *tmp ? tmp : "/tmp");
  }();
  return cached;
}

std::string GetFileVersionString(const std::string&, bool withBuild, const std::string& prefix,
                                 bool shortForm) {
  const int build = 0;
  if (!withBuild)
    return fmt::format(" {}{}.{}.{}", prefix, ORVANE_VERSION_MAJOR, ORVANE_VERSION_MINOR, ORVANE_VERSION_PATCH);
  return fmt::format(fmt::runtime(shortForm ? " {}{}.{}.{}_b{}" : " {}{}.{}.{} build {}"), prefix, ORVANE_VERSION_MAJOR,
                     ORVANE_VERSION_MINOR, ORVANE_VERSION_PATCH, build);
}

}  // namespace orvane
