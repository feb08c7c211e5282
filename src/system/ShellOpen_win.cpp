#include <windows.h>
// windows.h first: the shell header relies on it.
#include <shellapi.h>

#include <string>

#include "system/DebugHook.h"
#include "system/OSFunctions_win.h"
#include "system/ShellOpen.h"

namespace orvane {

bool ShellOpen(const std::string& file, const std::string& parameters) {
  const std::wstring wideFile = Utf8ToWide(file);
  const std::wstring wideParameters = Utf8ToWide(parameters);
  // No owner window and no working directory: the program inherits ours.
  const HINSTANCE result =
      ShellExecuteW(nullptr, L"open", wideFile.c_str(),
                    wideParameters.empty() ? nullptr : wideParameters.c_str(), nullptr, SW_SHOW);
  // Values above 32 mean success; smaller ones are error codes.
  const auto code = reinterpret_cast<INT_PTR>(result);
  SystemDebugFmt("ShellOpen \"%s\" %s: %s", file, parameters,
                 code > 32 ? std::string("started") : "failed (" + std::to_string(code) + ")");
  return code > 32;
}

}  // namespace orvane
