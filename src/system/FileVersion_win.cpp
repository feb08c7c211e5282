// File versions through the system's version API. The running program,
// named by an empty text or by its own path, reports its version resource;
// built without one (the test programs), it reports the version it was built
// as, with build number 0, like the POSIX variant.
#include <windows.h>

#include <vector>

#include "OrvaneBuildConfig.h"
#include "system/FileVersion.h"
#include "system/OSFunctions_win.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

TFileVersionQuery BuildVersion() {
  TFileVersionQuery query;
  query.version = {ORVANE_VERSION_MAJOR, ORVANE_VERSION_MINOR, ORVANE_VERSION_PATCH, 0};
  return query;
}

// Volume serial number and file index name a file whatever path leads to it.
bool FileIdentity(const std::wstring& name, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE file = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return ok;
}

bool IsRunningProgram(const std::wstring& name, const std::wstring& self) {
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  return FileIdentity(name, a) && FileIdentity(self, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

TFileVersionQuery QueryVersionResource(const std::wstring& name) {
  TFileVersionQuery query;
  DWORD unused = 0;
  const DWORD size = GetFileVersionInfoSizeW(name.c_str(), &unused);
  if (size == 0) {
    query.error = static_cast<int>(GetLastError());
    return query;
  }
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(name.c_str(), 0, size, block.data())) {
    query.error = static_cast<int>(GetLastError());
    return query;
  }
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    const DWORD error = GetLastError();
    // The failure must carry a code even when the call left none.
    query.fixedInfoError = static_cast<int>(error ? error : ERROR_RESOURCE_DATA_NOT_FOUND);
    return query;
  }
  query.version = {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                   HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
  return query;
}

}  // namespace

TFileVersionQuery QueryFileVersion(const std::string& file) {
  const std::wstring self = Utf8ToWide(GetExecutablePath());
  const std::wstring name = file.empty() ? self : Utf8ToWide(file);
  const TFileVersionQuery query = QueryVersionResource(name);
  if (query.Ok()) return query;
  return (file.empty() || IsRunningProgram(name, self)) ? BuildVersion() : query;
}

}  // namespace orvane
