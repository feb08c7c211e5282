// File versions through the system's version API.
#include <windows.h>

#include <vector>

#include "system/FileVersion.h"
#include "system/OSFunctions_win.h"
#include "system/SysUtils.h"

namespace orvane {

TFileVersionQuery QueryFileVersion(const std::string& file) {
  TFileVersionQuery query;
  const std::wstring name = Utf8ToWide(file.empty() ? GetExecutablePath() : file);
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

}  // namespace orvane
