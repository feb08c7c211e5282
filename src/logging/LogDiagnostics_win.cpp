#include <windows.h>

#if defined(__GNUC__)
#include <unwind.h>
#endif

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

constexpr std::size_t kMaxFrames = 62;

#if defined(__GNUC__)
// GCC's unwinder walks the frames by the unwind tables every function
// carries for exceptions. CaptureStackBackTrace follows the EBP chain on
// 32-bit Windows, which code built without frame pointers does not keep, and
// finds nothing there.
_Unwind_Reason_Code AddFrame(_Unwind_Context* context, void* data) {
  auto& frames = *static_cast<std::vector<void*>*>(data);
  if (frames.size() >= kMaxFrames) return _URC_END_OF_STACK;
  const _Unwind_Ptr ip = _Unwind_GetIP(context);
  if (ip == 0) return _URC_END_OF_STACK;
  frames.push_back(reinterpret_cast<void*>(ip));
  return _URC_NO_REASON;
}

// Return addresses, as POSIX backtrace() gives them; frame 0 is the caller
// of ReturnAddresses, which therefore must stay a call of its own.
__attribute__((noinline)) std::vector<void*> ReturnAddresses() {
  std::vector<void*> frames;
  _Unwind_Backtrace(&AddFrame, &frames);
  if (!frames.empty()) frames.erase(frames.begin());  // ReturnAddresses itself
  return frames;
}
#else
std::vector<void*> ReturnAddresses() {
  void* frames[kMaxFrames];
  const USHORT count = CaptureStackBackTrace(1, static_cast<DWORD>(kMaxFrames), frames, nullptr);
  return std::vector<void*>(frames, frames + count);
}
#endif

}  // namespace

std::vector<std::string> CaptureCallstack(int skip) {
  std::vector<void*> frames = ReturnAddresses();
  // Frame 0 is this function.
  const auto first = static_cast<std::size_t>(1 + skip);
  std::vector<std::string> lines;
  for (std::size_t i = first; i < frames.size(); ++i) {
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
