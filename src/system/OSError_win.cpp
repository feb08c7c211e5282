#include <windows.h>

#include <string>

#include "system/OSError.h"
#include "system/OSError_win.h"

namespace orvane {

int GetLastOSError() { return static_cast<int>(GetLastError()); }

std::string SysErrorMessage(int code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length != 0 ? std::wstring(buffer, length) : std::wstring();
  if (buffer != nullptr) LocalFree(buffer);
  // System texts end with ".\r\n"; the caller adds its own punctuation.
  while (!text.empty() &&
         (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.')) {
    text.pop_back();
  }
  return text.empty() ? "Unknown error " + std::to_string(code) : WideToUtf8(text);
}

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), n);
  return result;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string result(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), n, nullptr,
                      nullptr);
  return result;
}

}  // namespace orvane
