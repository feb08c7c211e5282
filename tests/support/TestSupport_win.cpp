#include <windows.h>

#include "support/TestSupport.h"
#include "system/OSFunctions_win.h"

namespace orvane::test {

// The program reads its environment through the wide Win32 calls; the C
// runtime's copy is kept in step for getenv.
void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value) {
  const std::wstring wideName = Utf8ToWide(name);
  if (value) {
    const std::wstring wideValue = Utf8ToWide(*value);
    SetEnvironmentVariableW(wideName.c_str(), wideValue.c_str());
    _wputenv_s(wideName.c_str(), wideValue.c_str());
  } else {
    SetEnvironmentVariableW(wideName.c_str(), nullptr);
    _wputenv_s(wideName.c_str(), L"");
  }
}

}  // namespace orvane::test
