#include "app/RealLaunchSystem.h"

#include <stdexcept>

#include "system/SysUtils.h"

namespace orvane {

// Process lookup and the shell start are bound once the process helper is
// part of the build; until then nothing is found and nothing can be started.
std::uint32_t TRealLaunchSystem::GetPidByExeName(const std::string&) { return 0; }

std::string TRealLaunchSystem::GetProcessImagePath(std::uint32_t pid) {
  throw std::runtime_error("No process " + std::to_string(pid));
}

bool TRealLaunchSystem::KillProcess(std::uint32_t) { return false; }

std::string TRealLaunchSystem::GetFileVersionNumbers(const std::string& file, int& major, int& minor,
                                                     int& release, int& build) {
  return orvane::GetFileVersionNumbers(file, major, minor, release, build);
}

void TRealLaunchSystem::ShellOpen(const std::string& file, const std::string&) {
  throw std::runtime_error("Cannot start " + file);
}

std::string TRealLaunchSystem::GetProgramFolder() { return orvane::GetProgramFolder(); }

}  // namespace orvane
