// The configuration file on Windows: text without a byte-order mark is in
// the system ANSI code page; the file is read with deny-write sharing and
// written with CREATE_ALWAYS, failures carrying GetLastError's message.
#include <windows.h>

#include <algorithm>
#include <memory>

#include "app/ConfigFile.h"
#include "system/OSError.h"
#include "system/OSFunctions_win.h"

namespace orvane {

namespace {

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};

}  // namespace

std::string DecodeAnsiText(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), units);
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::optional<std::string> ReadConfigFileBytes(const std::string& path, std::size_t limit) {
  const std::wstring wpath = Utf8ToWide(path);
  const DWORD attributes = GetFileAttributesW(wpath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // Only a missing file counts as none; any other failure is raised, as on
    // POSIX, rather than passed off as a missing file.
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    RaiseOSError(static_cast<int>(error), path);
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;

  const HANDLE h = CreateFileW(wpath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) RaiseLastOSError(path);
  const std::unique_ptr<void, HandleCloser> file(h);

  std::string bytes;
  char buffer[64 * 1024];
  while (bytes.size() < limit) {
    DWORD n = 0;
    const DWORD ask = static_cast<DWORD>(std::min(sizeof buffer, limit - bytes.size()));
    if (!ReadFile(h, buffer, ask, &n, nullptr)) RaiseLastOSError(path);
    if (n == 0) break;
    bytes.append(buffer, n);
  }
  return bytes;
}

void WriteConfigFileBytes(const std::string& path, std::string_view bytes) {
  // Never through a reparse point or hard link planted under the file's
  // name: the program would overwrite whatever file it points to. The link
  // is opened as itself, and the file is emptied only once it is known to be
  // a plain file of its own.
  const HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) RaiseLastOSError(path);
  const std::unique_ptr<void, HandleCloser> file(h);
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info))
    RaiseOSError(ERROR_INVALID_FUNCTION, path + ": not a regular file");
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks != 1)
    RaiseOSError(ERROR_CANT_ACCESS_FILE, path + " is a link to another file and is not written through");
  if (!SetEndOfFile(h)) RaiseLastOSError(path);
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
      RaiseLastOSError(path);
    bytes.remove_prefix(written);
  }
}

}  // namespace orvane
