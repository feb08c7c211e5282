// Shell folders, GetTempPathW, linguistic lower-casing, FormatMessageW and
// the wait for files in use.
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <chrono>

#include "system/OSFunctions.h"
#include "system/OSFunctions_win.h"
#include "system/SysUtils.h"
#include "system/Utf8.h"

namespace orvane {
namespace {

// Lowers valid UTF-8 with the user's linguistic casing.
std::string LowerValidUtf8(const std::string& text) {
  const std::wstring wide = Utf8ToWide(text);
  if (wide.empty()) return text;
  const DWORD flags = LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING;
  const int n = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, wide.data(), static_cast<int>(wide.size()),
                              nullptr, 0, nullptr, nullptr, 0);
  if (n <= 0) return text;
  std::wstring lower(static_cast<size_t>(n), L'\0');
  LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, wide.data(), static_cast<int>(wide.size()), lower.data(), n,
                nullptr, nullptr, 0);
  return WideToUtf8(lower);
}

}  // namespace

std::string ShellFolder(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return AddTrailingBackslash(WideToUtf8(path));
}

bool RetryWhileFileInUse(const std::function<bool()>& attempt) {
  using Clock = std::chrono::steady_clock;
  using std::chrono::milliseconds;
  // Elapsed time, not a count of tries, bounds the wait: Sleep's resolution
  // (often 15.6 ms) would make a count mean anything.
  constexpr milliseconds kPatience{2000};
  const Clock::time_point start = Clock::now();
  milliseconds pause{10};
  for (;;) {
    if (attempt()) return true;
    const DWORD error = GetLastError();
    const milliseconds left = kPatience - std::chrono::ceil<milliseconds>(Clock::now() - start);
    const bool inUse =
        error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    if (!inUse || left <= milliseconds::zero()) {
      SetLastError(error);
      return false;
    }
    Sleep(static_cast<DWORD>(std::min(pause, left).count()));
    pause *= 2;
  }
}

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

std::string GetApplicationDataFolder(bool perUser) {
  return ShellFolder(perUser ? CSIDL_LOCAL_APPDATA : CSIDL_COMMON_APPDATA);
}

std::string GetConfigurationFolder(bool perUser) {
  return ShellFolder(perUser ? CSIDL_APPDATA : CSIDL_COMMON_APPDATA);
}

bool ConfigFolderIsPerUser() { return false; }

std::string GetSystemTempFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, path);
  if (n == 0 || n > MAX_PATH) return {};
  return AddTrailingBackslash(WideToUtf8(path));
}

std::tm ToLocalTime(std::time_t t) {
  std::tm local{};
  localtime_s(&local, &t);
  return local;
}

std::string LowerCaseText(const std::string& text) {
  // The UTF-16 conversion would turn bytes that are not valid UTF-8 into
  // U+FFFD; they are kept as they are and only the valid runs between them
  // are lowered.
  std::string out;
  out.reserve(text.size());
  size_t runStart = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    char32_t cp = 0;
    const size_t length = DecodeUtf8(text, pos, cp);
    if (length != 0) {
      pos += length;
      continue;
    }
    out += LowerValidUtf8(text.substr(runStart, pos - runStart));
    out += text[pos++];
    runStart = pos;
  }
  out += LowerValidUtf8(text.substr(runStart));
  return out;
}

std::string SystemErrorMessage(int code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n && buffer ? WideToUtf8(std::wstring(buffer, n)) : std::string();
  if (buffer) LocalFree(buffer);
  return TrimSystemMessage(text);
}

}  // namespace orvane
