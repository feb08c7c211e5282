#include <windows.h>
// windows.h first: the tool-help header relies on it.
#include <tlhelp32.h>

#include <string>

#include "system/OSError.h"
#include "system/OSFunctions_win.h"
#include "system/ProcessHelper.h"

namespace orvane {
namespace {

class THandle {
 public:
  explicit THandle(HANDLE handle) : handle_(handle) {}
  ~THandle() {
    if (valid()) CloseHandle(handle_);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;

  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

uint32_t GetPidByExeName(const std::string& exeName) {
  // A process that is still starting or already gone can be listed without
  // a name; an empty name finds nothing, as on POSIX.
  if (exeName.empty()) return 0;
  const std::wstring wanted = Utf8ToWide(exeName);
  // Only processes of our own session count: on a terminal server or with
  // fast user switching, the program of that name in another session
  // belongs to another user, whose executable the caller would start again
  // or whose process it would stop.
  DWORD ownSession = 0;
  if (!ProcessIdToSessionId(GetCurrentProcessId(), &ownSession)) return 0;
  THandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (wanted != entry.szExeFile) continue;
    // A process whose session cannot be read is not known to be ours.
    DWORD session = 0;
    if (ProcessIdToSessionId(entry.th32ProcessID, &session) && session == ownSession)
      return entry.th32ProcessID;
  }
  return 0;
}

std::string GetProcessImagePath(uint32_t pid) {
  const std::string context = "Process " + std::to_string(pid);
  // Limited information is all the image name needs, and it is granted for
  // elevated processes too; reading another process's module list instead
  // fails from a 32-bit program for every 64-bit process.
  THandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process.valid()) RaiseLastOSError(context);
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = static_cast<DWORD>(path.size());
    if (QueryFullProcessImageNameW(process.get(), 0, path.data(), &length)) {
      path.resize(length);
      return WideToUtf8(path);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() >= 32768) RaiseLastOSError(context);
    path.resize(path.size() * 2);
  }
}

bool TerminateProcessById(uint32_t pid) {
  THandle process(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
  return process.valid() && TerminateProcess(process.get(), 0) != FALSE;
}

}  // namespace orvane
