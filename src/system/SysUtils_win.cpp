// The running module's path and the shell copy.
#include <windows.h>
// windows.h first: the shell header relies on it.
#include <shellapi.h>

#include "system/OSFunctions_win.h"
#include "system/SysUtils.h"

namespace orvane {

std::string GetExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return WideToUtf8(buffer.substr(0, n));
    buffer.resize(buffer.size() * 2);
  }
}

bool CopyFiles(const std::string& source, const std::string& destination, bool renameOnCollision) {
  // Each list ends with two NULs: one appended here, one from c_str().
  std::wstring from = Utf8ToWide(source);
  from.push_back(L'\0');
  std::wstring to = Utf8ToWide(destination);
  to.push_back(L'\0');
  SHFILEOPSTRUCTW op{};
  op.hwnd = static_cast<HWND>(ShellOwnerWindow());
  op.wFunc = FO_COPY;
  op.pFrom = from.c_str();
  op.pTo = to.c_str();
  op.fFlags = FOF_MULTIDESTFILES | FOF_SILENT | (renameOnCollision ? FOF_RENAMEONCOLLISION : 0);
  return SHFileOperationW(&op) == 0;
}

}  // namespace orvane
