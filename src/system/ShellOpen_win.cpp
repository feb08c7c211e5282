#include <windows.h>
// windows.h first: the shell header relies on it.
#include <shellapi.h>

#include <string>

#include "system/CheckedFile.h"
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

bool ShellOpenChecked(const TCheckedFile& file, const std::string& parameters) {
  // The program is started by its path; the caller's handle, which shares
  // reading only, keeps the bytes at that path the ones that were checked
  // until the system has created the process from them. Starting needs only
  // read and execute access, which that handle shares. SEE_MASK_NOASYNC: the
  // start is complete when the call returns, so the handle may be closed
  // then. As ShellExecuteW, no error boxes of the shell's own.
  const std::wstring wideFile = Utf8ToWide(file.Path());
  const std::wstring wideParameters = Utf8ToWide(parameters);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = wideFile.c_str();
  info.lpParameters = wideParameters.empty() ? nullptr : wideParameters.c_str();
  info.nShow = SW_SHOW;
  const bool started = ShellExecuteExW(&info) != FALSE;
  const auto code = reinterpret_cast<INT_PTR>(info.hInstApp);
  SystemDebugFmt("ShellOpen \"%s\" %s: %s", file.Path(), parameters,
                 started ? std::string("started") : "failed (" + std::to_string(code) + ")");
  return started;
}

}  // namespace orvane
