// Finding, inspecting and stopping running programs by their executable.
//
// The executable name of a process is the file name of its executable
// without folder ("TeamViewer.exe"), compared exactly and case-sensitively.
#pragma once

#include <cstdint>
#include <string>

namespace orvane {

// Id of the first running process whose executable name equals exeName, in
// the order the system lists its processes; 0 when none does or the list
// cannot be read. Never raises.
uint32_t GetPidByExeName(const std::string& exeName);

// Full path of the process's main executable. Raises EOSError (system/OSError.h)
// when the process does not exist, has ended, or may not be inspected.
std::string GetProcessImagePath(uint32_t pid);

// Asks the system to terminate the process at once (no clean shutdown, no
// waiting for it to end). True when the system accepted the request; false
// for 0, for an id that does not exist and for a process the user may not
// terminate.
bool KillProcess(uint32_t pid);

}  // namespace orvane
