#include <windows.h>

#include <filesystem>
#include <random>
#include <utility>

#include <fmt/format.h>

#include "net/DownloadFile.h"
#include "system/OSFunctions.h"
#include "system/OSFunctions_win.h"

namespace orvane {
namespace {

std::string LastErrorText() { return SystemErrorMessage(static_cast<int>(GetLastError())); }

std::wstring RandomSuffix() {
  static std::mt19937_64 generator{std::random_device{}()};
  return Utf8ToWide(fmt::format("{:012x}", generator() & 0xffffffffffffULL));
}

// Closes and deletes the temporary file unless it was moved into place.
class TempFile {
 public:
  ~TempFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::wstring path_;
};

}  // namespace

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  const std::filesystem::path target(Utf8ToWide(path));
  const std::wstring name = target.filename().wstring();
  if (name.empty() || name == L"." || name == L"..") {
    throw EFileWriteError("EFCreateError", fmt::format("Cannot create file \"{}\". Not a file name", path));
  }
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = L".";

  TempFile temp;
  for (int attempt = 0; attempt < 16 && temp.handle_ == INVALID_HANDLE_VALUE; ++attempt) {
    const std::wstring candidate = (folder / (L"." + name + L"." + RandomSuffix() + L".part")).wstring();
    temp.handle_ =
        CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (temp.handle_ != INVALID_HANDLE_VALUE) temp.path_ = candidate;
    if (temp.handle_ == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (temp.handle_ == INVALID_HANDLE_VALUE) {
    throw EFileWriteError("EFCreateError",
                          fmt::format("Cannot create file \"{}\". {}", path, LastErrorText()));
  }

  const auto writeFailed = [&] {
    return EFileWriteError("EWriteError", fmt::format("Cannot write file \"{}\". {}", path, LastErrorText()));
  };
  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const DWORD chunk = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
    DWORD written = 0;
    if (!WriteFile(temp.handle_, data, chunk, &written, nullptr)) throw writeFailed();
    data += written;
    left -= written;
  }
  // No flush to disk before the replacement: see the POSIX variant.
  CloseHandle(std::exchange(temp.handle_, INVALID_HANDLE_VALUE));

  // ReplaceFileW keeps the replaced file's attributes and security settings,
  // as the POSIX variant keeps the mode; a new file takes the folder's.
  const std::wstring targetPath = target.wstring();
  const bool replacing = GetFileAttributesW(targetPath.c_str()) != INVALID_FILE_ATTRIBUTES;
  bool moved = replacing ? ReplaceFileW(targetPath.c_str(), temp.path_.c_str(), nullptr,
                                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                         : MoveFileExW(temp.path_.c_str(), targetPath.c_str(), 0) != 0;
  // Without a backup name, ReplaceFileW can fail after it has already removed
  // the old file, leaving the new one under its temporary name; deleting that
  // would lose both, so it is moved into place instead.
  if (!moved && replacing && GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
    moved = MoveFileExW(temp.path_.c_str(), targetPath.c_str(), 0) != 0;
  }
  if (!moved) {
    throw EFileWriteError("EWriteError",
                          fmt::format("Cannot replace file \"{}\". {}", path, LastErrorText()));
  }
  temp.path_.clear();
}

}  // namespace orvane
