// A program that the DLL-search tests copy into a folder beside a planted
// "version.dll" and start there, to see which version.dll it gets. It is
// linked as the program is (version.dll delay-loaded), and
// ORVANE_DLLPROBE_MODE says how version.dll is first loaded:
//   by-name       LoadLibraryW(L"version.dll"), as libraries load their DLLs
//   restricted    the same after RestrictDllSearchToSystemFolder, as the
//                 program's main runs it
//   delay-loaded  the first call into version.dll, through its delay-load
//                 import, with the search not restricted
// It writes the full path of the version.dll it got, or what went wrong,
// into the file named by ORVANE_DLLPROBE_OUT.
#include <windows.h>

#include <string>

#include "system/DllSearch.h"

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[32768];
  const DWORD n = GetEnvironmentVariableW(name, value, 32768);
  return n > 0 && n < 32768 ? std::wstring(value, n) : std::wstring();
}

std::wstring ModulePath(HMODULE module) {
  wchar_t path[32768];
  const DWORD n = GetModuleFileNameW(module, path, 32768);
  return n > 0 && n < 32768 ? std::wstring(path, n) : L"(no module path)";
}

std::wstring LoadVersionDll(const std::wstring& mode) {
  if (GetModuleHandleW(L"version.dll")) return L"version.dll was loaded at start";
  if (mode == L"restricted") orvane::RestrictDllSearchToSystemFolder();
  if (mode == L"by-name" || mode == L"restricted") {
    const HMODULE module = LoadLibraryW(L"version.dll");
    return module ? ModulePath(module) : L"LoadLibraryW failed";
  }
  if (mode == L"delay-loaded") {
    DWORD handle = 0;
    GetFileVersionInfoSizeW(L"no such file", &handle);
    const HMODULE module = GetModuleHandleW(L"version.dll");
    return module ? ModulePath(module) : L"version.dll not loaded by the call";
  }
  return L"unknown mode";
}

}  // namespace

int main() {
  const std::wstring result = LoadVersionDll(Environment(L"ORVANE_DLLPROBE_MODE"));
  const HANDLE out = CreateFileW(Environment(L"ORVANE_DLLPROBE_OUT").c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(result.size() * sizeof(wchar_t));
  const bool ok = WriteFile(out, result.data(), size, &written, nullptr) && written == size;
  CloseHandle(out);
  return ok ? 0 : 2;
}
