// Shell links (.lnk) through IShellLinkW and IPersistFile, saved into the
// folders the user's "Shell Folders" name for the desktop and the start
// menu's programs.
#include <windows.h>
// windows.h first: the shell headers rely on it.
#include <objbase.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

#include "app/Shortcuts.h"
#include "system/OSFunctions.h"
#include "system/OSFunctions_win.h"
#include "system/SysUtils.h"

namespace orvane {

namespace {

constexpr wchar_t kShellFoldersKey[] =
    L"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A "Shell Folders" value with trailing separator; when it is missing or
// empty, the shell's own answer for the same folder (a link saved as
// "\name.lnk" would land in the root of the current drive).
std::string ShellFoldersValue(const wchar_t* name, int csidl) {
  std::wstring value(MAX_PATH + 1, L'\0');
  DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  const LSTATUS status =
      RegGetValueW(HKEY_CURRENT_USER, kShellFoldersKey, name, RRF_RT_REG_SZ, nullptr, value.data(), &size);
  if (status == ERROR_SUCCESS) {
    value.resize(wcsnlen(value.c_str(), value.size()));
    if (!value.empty()) return AddTrailingBackslash(WideToUtf8(value));
  }
  return ShellFolder(csidl);
}

std::string HresultText(HRESULT hr) { return SystemErrorMessage(static_cast<int>(hr)); }

// COM on the calling thread for the life of the object. A thread already in
// another apartment keeps it; the shell link works in either.
class TComScope {
 public:
  TComScope() : fResult(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~TComScope() {
    if (SUCCEEDED(fResult)) CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

 private:
  HRESULT fResult;
};

template <typename T>
class TComPtr {
 public:
  TComPtr() = default;
  ~TComPtr() {
    if (fPtr) fPtr->Release();
  }
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  T** Out() { return &fPtr; }
  T* operator->() const { return fPtr; }
  T* Get() const { return fPtr; }
  explicit operator bool() const { return fPtr != nullptr; }

 private:
  T* fPtr = nullptr;
};

TShortcutPlace SaveLink(IPersistFile* file, const std::string& folder, const std::string& base) {
  TShortcutPlace place;
  if (folder.empty()) {
    place.Skipped = true;
    return place;
  }
  place.Path = folder + base + ".lnk";
  const HRESULT hr = file->Save(Utf8ToWide(place.Path).c_str(), FALSE);
  place.Written = SUCCEEDED(hr);
  if (!place.Written) place.Error = "could not write " + place.Path + " (" + HresultText(hr) + ")";
  return place;
}

}  // namespace

TShortcutResult CreateShortcut(const std::string& ShortcutName, const std::string& Description,
                               const std::string& Target) {
  const std::string base = ShortcutBaseName(ShortcutName);
  const auto slash = Target.find_last_of(PathDelimiters);
  const std::string workingDirectory =
      slash == std::string::npos ? std::string() : Target.substr(0, slash + 1);

  TShortcutResult result;
  const TComScope com;
  TComPtr<IShellLinkW> link;
  TComPtr<IPersistFile> file;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Out()));
  if (SUCCEEDED(hr)) hr = link->SetPath(Utf8ToWide(Target).c_str());
  if (SUCCEEDED(hr)) hr = link->SetWorkingDirectory(Utf8ToWide(workingDirectory).c_str());
  if (SUCCEEDED(hr)) hr = link->SetDescription(Utf8ToWide(Description).c_str());
  if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()));
  if (FAILED(hr)) {
    const std::string error = "the shell could not make a link (" + HresultText(hr) + ")";
    result.Desktop.Error = result.StartMenu.Error = error;
    return result;
  }
  result.Desktop = SaveLink(file.Get(), ShellFoldersValue(L"Desktop", CSIDL_DESKTOPDIRECTORY), base);
  // The start menu of Windows 8 and later lists only what lies below its
  // "Programs" folder; a link in the start menu's own folder stays unseen.
  result.StartMenu = SaveLink(file.Get(), ShellFoldersValue(L"Programs", CSIDL_PROGRAMS), base);
  return result;
}

}  // namespace orvane
