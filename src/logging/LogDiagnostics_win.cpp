#include <windows.h>

#include <fmt/format.h>

#include <cstdint>
#include <random>

#include "logging/LogDiagnostics.h"
#include "system/OSFunctions_win.h"

namespace orvane {

namespace {

std::string ModuleBaseName(HMODULE module) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return "?";
  std::wstring text(path, n);
  const auto slash = text.find_last_of(L"\\/");
  return WideToUtf8(slash == std::wstring::npos ? text : text.substr(slash + 1));
}

}  // namespace

std::vector<std::string> CaptureCallstack(int skip) {
  void* frames[62];  // the most CaptureStackBackTrace takes on older Windows
  // Frame 0 would be this function.
  const USHORT count = CaptureStackBackTrace(static_cast<DWORD>(1 + skip), 62, frames, nullptr);
  std::vector<std::string> lines;
  for (USHORT i = 0; i < count; ++i) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(frames[i]), &module)) {
      lines.push_back(fmt::format("{}", frames[i]));
      continue;
    }
    // Release programs carry no symbols: module and offset are what a
    // developer looks up in the map file of the build.
    const auto offset =
        reinterpret_cast<std::uintptr_t>(frames[i]) - reinterpret_cast<std::uintptr_t>(module);
    lines.push_back(fmt::format("{}+0x{:x}", ModuleBaseName(module), offset));
  }
  return lines;
}

bool ReplaceFileContents(const std::string& path, const std::string& bytes) {
  std::random_device random;
  for (int attempt = 0; attempt < 10; ++attempt) {
    const std::wstring temp = Utf8ToWide(fmt::format("{}.{:08x}.tmp", path, random()));
    // CREATE_NEW fails on any existing name, a planted link included.
    HANDLE file =
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return false;
    }
    DWORD written = 0;
    const bool ok = bytes.empty() ||
                    (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size());
    const bool closed = CloseHandle(file) != 0;
    // The move replaces the name at path, a link there too, not its target.
    if (ok && closed && MoveFileExW(temp.c_str(), Utf8ToWide(path).c_str(), MOVEFILE_REPLACE_EXISTING))
      return true;
    DeleteFileW(temp.c_str());
    return false;
  }
  return false;
}

}  // namespace orvane
