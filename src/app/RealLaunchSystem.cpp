#include "app/RealLaunchSystem.h"

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

std::string TRealLaunchSystem::GetProgramFolder() { return orvane::GetProgramFolder(); }

}  // namespace orvane
