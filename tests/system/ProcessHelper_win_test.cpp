// The Toolhelp snapshot, QueryFullProcessImageNameW and TerminateProcess
// against a real process: a copy of the stand-in program.
#include <windows.h>
// windows.h first: the tool-help header relies on it.
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"
#include "system/OSError.h"
#include "system/OSFunctions.h"
#include "system/ProcessHelper.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::PathUtf8;
using test::Utf8Path;

// The long form of a path: the temporary folder may be given in 8.3 form.
std::string LongPath(const std::string& path) {
  const fs::path wide = Utf8Path(path);
  wchar_t buffer[32768];
  const DWORD n = GetLongPathNameW(wide.wstring().c_str(), buffer, 32768);
  return n > 0 && n < 32768 ? PathUtf8(fs::path(std::wstring(buffer, n))) : path;
}

// A name unique to this test process, so that programs started by other
// test programs under the same Wine server cannot be mistaken for ours.
std::string ExeName() { return "TeamViewer-" + std::to_string(GetCurrentProcessId()) + ".exe"; }

TEST(ProcessHelperWin, FindsInspectsAndStopsARunningProgram) {
  test::TempDir dir;
  // A folder with a non-ASCII name: the path comes back as UTF-8.
  const fs::path folder = dir.path() / Utf8Path("Gr\xC3\xBC\xC3\x9F Gott");
  fs::create_directory(folder);
  const fs::path exe = folder / ExeName();
  fs::copy_file(test::StandInProgram(), exe);

  std::uint32_t pid = 0;
  {
    test::TStartedProcess process(exe);
    pid = process.Pid();
    EXPECT_EQ(GetPidByExeName(ExeName()), pid);
    EXPECT_EQ(GetPidByExeName("teamviewer-" + std::to_string(GetCurrentProcessId()) + ".exe"),
              0u);  // names compare exactly
    EXPECT_EQ(GetPidByExeName(""), 0u);
    EXPECT_EQ(LongPath(GetProcessImagePath(pid)), LongPath(PathUtf8(exe)));

    EXPECT_TRUE(KillProcess(pid));
    // TerminateProcess's exit code, not the 3 the stand-in ends with itself.
    EXPECT_EQ(process.Wait(), 0u);
  }
  // Our handle is closed now, so nothing keeps the ended process listed.
  EXPECT_EQ(GetPidByExeName(ExeName()), 0u);
  // Windows forgets the id with the last handle; Wine only once it has
  // reaped the process's Unix side, a moment later, and until then opens it.
  EXPECT_TRUE(test::WaitUntil([pid] {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process) CloseHandle(process);
    return process == nullptr;
  }));
  EXPECT_FALSE(KillProcess(pid));
  try {
    GetProcessImagePath(pid);
    ADD_FAILURE() << "no error for a process that has ended";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(std::string(e.what()), "Process " + std::to_string(pid) + ": " +
                                         SystemErrorMessage(ERROR_INVALID_PARAMETER) + " (error " +
                                         std::to_string(ERROR_INVALID_PARAMETER) + ")");
  }
}

// Id of the first process of that executable name in the system's list,
// whatever its session; 0 when there is none.
DWORD AnyProcessNamed(const wchar_t* name) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  DWORD pid = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && pid == 0;
       more = Process32NextW(snapshot, &entry))
    if (std::wstring(entry.szExeFile) == name) pid = entry.th32ProcessID;
  CloseHandle(snapshot);
  return pid;
}

// A program of the searched name in another session (another user's, on a
// terminal server) is passed over. The service control manager runs in
// session 0, where no user's programs run since Windows Vista.
TEST(ProcessHelperWin, ProcessesOfOtherSessionsAreNotFound) {
  const DWORD services = AnyProcessNamed(L"services.exe");
  ASSERT_NE(services, 0u) << "no services.exe in the process list";
  DWORD own = 0, servicesSession = 0;
  ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &own));
  // A session that cannot be read counts as another one.
  if (ProcessIdToSessionId(services, &servicesSession) && servicesSession == own) {
    if (test::RunningUnderWine()) GTEST_SKIP() << "Wine reports the caller's session for every process";
    GTEST_SKIP() << "this test runs in session " << own << " with the services";
  }
  EXPECT_EQ(GetPidByExeName("services.exe"), 0u);
}

// The remote-support tools are often 64-bit programs, while the shipped
// program is 32-bit: on 64-bit Windows it must find and read the path of a
// 64-bit process. The one started is the system's notepad, reached through
// Sysnative (System32 itself is the 32-bit SysWOW64 for a 32-bit program).
TEST(ProcessHelperWin, Finds64BitProgramsFromA32BitOne) {
  if (!test::RunningUnderWow64())
    GTEST_SKIP() << "meaningful only for a 32-bit program on 64-bit Windows; this one is "
                 << 8 * sizeof(void*) << "-bit on " << (test::Running64BitWindows() ? "64" : "32")
                 << "-bit Windows";
  wchar_t windows[MAX_PATH];
  const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  ASSERT_TRUE(n > 0 && n < MAX_PATH);
  const fs::path folder(std::wstring(windows, n));
  test::TStartedProcess process(folder / L"Sysnative" / L"notepad.exe");

  const HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process.Pid());
  ASSERT_NE(handle, nullptr);
  BOOL wow64 = TRUE;
  EXPECT_TRUE(IsWow64Process(handle, &wow64));
  CloseHandle(handle);
  EXPECT_FALSE(wow64) << "the started notepad is not a 64-bit process";

  EXPECT_NE(GetPidByExeName("notepad.exe"), 0u);
  // The real path, in System32, whatever letter case the system keeps.
  EXPECT_EQ(CompareStringOrdinal(Utf8Path(LongPath(GetProcessImagePath(process.Pid()))).wstring().c_str(), -1,
                                 (folder / L"System32" / L"notepad.exe").wstring().c_str(), -1, TRUE),
            CSTR_EQUAL)
      << GetProcessImagePath(process.Pid());
  EXPECT_TRUE(KillProcess(process.Pid()));
}

}  // namespace
}  // namespace orvane
