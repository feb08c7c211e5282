// The running module's path and the shell copy.
#include <windows.h>
// windows.h first: the shell header relies on it.
#include <shellapi.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "system/OSFunctions_win.h"
#include "system/SysUtils.h"

namespace orvane {
namespace fs = std::filesystem;

namespace {

// Collision names tried before giving up ("name (2)" .. "name (9999)").
constexpr int kMaxCopyNumber = 9999;

// Whether path is folder itself or lies below it.
bool IsInside(const fs::path& path, const fs::path& folder) {
  std::error_code ec;
  const fs::path inner = fs::weakly_canonical(path, ec);
  if (ec) return false;
  const fs::path outer = fs::weakly_canonical(folder, ec);
  if (ec) return false;
  return std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first == outer.end();
}

}  // namespace

std::string GetExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return WideToUtf8(buffer.substr(0, n));
    buffer.resize(buffer.size() * 2);
  }
}

bool CopyFiles(const std::string& source, const std::string& destination, bool renameOnCollision) {
  try {
    // An empty name would make the shell fall back to the current folder.
    if (source.empty() || destination.empty()) return false;
    std::error_code ec;
    fs::path from = fs::path(Utf8ToWide(source)).make_preferred().lexically_normal();
    if (!from.has_filename()) from = from.parent_path();
    const auto status = fs::status(from, ec);
    if (ec || !fs::exists(status)) return false;

    fs::path target = fs::path(Utf8ToWide(destination)).make_preferred();
    if (!target.has_filename() || fs::is_directory(target, ec)) target /= from.filename();
    // Refused here rather than by the shell, which would say so in a message
    // box of its own: a file copied onto itself, a folder copied into itself.
    if (fs::is_directory(status)
            ? IsInside(target, from)
            : !renameOnCollision && fs::exists(target, ec) && fs::equivalent(from, target, ec))
      return false;
    // The free name is chosen here, as on POSIX: the shell's own choice
    // differs by case ("tool - Copy.exe" beside the original) and by system.
    // FOF_RENAMEONCOLLISION stays, so that a file appearing meanwhile is not
    // overwritten.
    if (renameOnCollision && fs::exists(target, ec)) {
      const std::string original = WideToUtf8(target.wstring());
      for (int n = 2; n <= kMaxCopyNumber && fs::exists(target, ec); ++n)
        target = fs::path(Utf8ToWide(NumberedCopyName(original, n)));
      if (fs::exists(target, ec)) return false;
    }

    // Each list ends with two NULs: one appended here, one from c_str().
    std::wstring fromList = from.wstring();
    fromList.push_back(L'\0');
    std::wstring toList = target.wstring();
    toList.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.hwnd = static_cast<HWND>(ShellOwnerWindow());
    op.wFunc = FO_COPY;
    op.pFrom = fromList.c_str();
    op.pTo = toList.c_str();
    // Missing folders are created and, without renaming, an existing target
    // is replaced, both without asking: that is what the caller asked for.
    op.fFlags = FOF_MULTIDESTFILES | FOF_SILENT | FOF_NOCONFIRMMKDIR |
                (renameOnCollision ? FOF_RENAMEONCOLLISION : FOF_NOCONFIRMATION);
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
  } catch (...) {
    return false;
  }
}

}  // namespace orvane
