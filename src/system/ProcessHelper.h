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
// cannot be read. Never raises. Only the caller's own processes are looked
// at: on Windows those of its session (a process whose session cannot be
// read is passed over), on POSIX those running as its real user.
uint32_t GetPidByExeName(const std::string& exeName);

// Full path of the process's main executable. Raises EOSError (system/OSError.h)
// when the process does not exist, has ended, or may not be inspected.
std::string GetProcessImagePath(uint32_t pid);

// Asks the system to terminate the process at once (no clean shutdown, no
// waiting for it to end). True when the system accepted the request; false
// for an id that does not exist and for a process the user may not
// terminate. Ids 0 and 1 are refused before the system is asked: on POSIX
// kill() reads 0 as the own process group and 1 is init; on Windows 0 is the
// idle process.
bool KillProcess(uint32_t pid);

// The system call behind KillProcess for an id it does not refuse: SIGKILL
// on POSIX, TerminateProcess on Windows.
bool TerminateProcessById(uint32_t pid);

// Replaces the call KillProcess makes (nullptr: TerminateProcessById again)
// and returns the previous one, so that tests can check a refusal without
// any process being signalled.
using TTerminateProcessCall = bool (*)(uint32_t pid);
TTerminateProcessCall SetTerminateProcessCall(TTerminateProcessCall call);

}  // namespace orvane
