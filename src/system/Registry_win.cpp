// The company key in the registry: values read under HKEY_LOCAL_MACHINE, the
// per-user key deleted under HKEY_CURRENT_USER.
#include <windows.h>

#include <cwchar>

#include "system/OSFunctions_win.h"
#include "system/Registry.h"

namespace orvane {
namespace {

std::wstring CompanyKey(const std::string& subkey) {
  return L"Software\\Orvane mbH Tessel\\" + Utf8ToWide(subkey);
}

bool IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// An expandable string names its folder through variables such as
// %ProgramData% or %USERPROFILE%, meant to be filled in by whoever reads it:
// a folder "%ProgramData%\Conf" taken literally would be a relative path.
// Variables the environment lacks stay as written, as the system leaves them.
std::wstring ExpandVariables(const std::wstring& text) {
  std::wstring expanded(text.size() + 1, L'\0');
  for (;;) {
    const DWORD needed =
        ExpandEnvironmentStringsW(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
    if (needed == 0) return text;
    if (needed <= expanded.size()) {
      expanded.resize(wcsnlen(expanded.c_str(), needed));
      return expanded;
    }
    expanded.assign(needed, L'\0');
  }
}

}  // namespace

std::string ReadCompanyRegString(const std::string& subkey, const std::string& valueName,
                                 const std::string& defaultValue) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, CompanyKey(subkey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return defaultValue;
  std::string result = defaultValue;
  const std::wstring name = Utf8ToWide(valueName);
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      IsString(type) && size > 0) {
    // One spare character: stored strings need not be terminated.
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got) ==
            ERROR_SUCCESS &&
        IsString(type)) {
      data.resize(wcsnlen(data.c_str(), got / sizeof(wchar_t)));
      if (type == REG_EXPAND_SZ) data = ExpandVariables(data);
      if (!data.empty()) result = WideToUtf8(data);
    }
  }
  RegCloseKey(key);
  return result;
}

void DeleteCompanyUserRegKey(const std::string& subkey) {
  const std::wstring path = CompanyKey(subkey);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return;
  RegCloseKey(key);
  RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
}

}  // namespace orvane
