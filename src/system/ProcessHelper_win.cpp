#include <windows.h>
// windows.h first: the tool-help and process-status headers rely on it.
#include <psapi.h>
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
  const std::wstring wanted = Utf8ToWide(exeName);
  THandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (wanted == entry.szExeFile) return entry.th32ProcessID;
  }
  return 0;
}

std::string GetProcessImagePath(uint32_t pid) {
  const std::string context = "Process " + std::to_string(pid);
  THandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process.valid()) RaiseLastOSError(context);
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameExW(process.get(), nullptr, path, MAX_PATH);
  if (length == 0) RaiseLastOSError(context);
  return WideToUtf8(std::wstring(path, length));
}

bool KillProcess(uint32_t pid) {
  THandle process(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
  return process.valid() && TerminateProcess(process.get(), 0) != FALSE;
}

}  // namespace orvane
