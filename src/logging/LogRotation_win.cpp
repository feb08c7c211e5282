#include <windows.h>

#include "logging/LogRotation.h"
#include "system/OSFunctions_win.h"

namespace orvane {

bool RenameFileNoReplace(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING the call fails when `to` exists.
  return MoveFileExW(Utf8ToWide(from).c_str(), Utf8ToWide(to).c_str(), 0) != 0;
}

std::string FileNameCaseFold(const std::string& name) {
  std::wstring wide = Utf8ToWide(name);
  // Not valid UTF-8: compared as it is.
  if (wide.empty()) return name;
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return WideToUtf8(wide);
}

}  // namespace orvane
