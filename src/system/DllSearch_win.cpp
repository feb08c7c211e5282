// The DLL search restricted to the system folder, for the process and for
// the delay-loaded DLLs.
//
// The program imports only Known DLLs at load time (always taken from the
// system folder); every other system DLL is delay-loaded
// (cmake/WindowsHardening.cmake), so nothing from the program's folder can
// be loaded before main runs this.
#include <windows.h>
// windows.h first: the delay-load header relies on it.
#include <delayimp.h>

#include <string>

#include "system/DllSearch.h"

namespace orvane {
namespace {

using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD flags);

// Loads the DLL of that file name from the system folder and nowhere else,
// its own dependencies included.
HMODULE LoadFromSystemFolder(const char* name) {
  // DLL names in import tables are ASCII.
  const std::wstring wide(name, name + std::char_traits<char>::length(name));
  if (HMODULE module = LoadLibraryExW(wide.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
  // Windows 7 without KB2533623 rejects the flag: name the file in the
  // system folder instead; its dependencies are then looked for there first.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, n) + L"\\" + wide;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Called by the delay-load helper before it loads a DLL on the first call
// into it; the module returned is used instead of its own LoadLibrary by
// name.
FARPROC WINAPI LoadDelayedDllFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary) return nullptr;
  return reinterpret_cast<FARPROC>(LoadFromSystemFolder(info->szDll));
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
  // Looked up at run time: Windows 7 has it only with KB2533623.
  const auto setDefaultDllDirectories = reinterpret_cast<TSetDefaultDllDirectories>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefaultDllDirectories == nullptr || !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
    SetDllDirectoryW(L"");
}

}  // namespace orvane

// The delay-load helper's notification hook (declared in delayimp.h). It is
// defined with RestrictDllSearchToSystemFolder, which main calls, so every
// program that restricts its search also delay-loads from the system folder.
extern "C" {
PfnDliHook __pfnDliNotifyHook2 =
    orvane::LoadDelayedDllFromSystemFolder;  // NOLINT(bugprone-reserved-identifier)
}
