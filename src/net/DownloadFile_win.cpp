#include <windows.h>
// After windows.h, which they rely on.
#include <aclapi.h>
#include <sddl.h>

#include <filesystem>
#include <memory>
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

// The security of a downloaded file: a DACL of its own, protected from what
// the folder would pass on, that lets the owner (the account that
// downloads), SYSTEM and Administrators change it and other users only read
// and run it. The same whether the file is a program or a list.
class TDownloadSecurity {
 public:
  TDownloadSecurity() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    const auto buffer = std::make_unique<unsigned char[]>(size);
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.get());
    LPWSTR sid = nullptr;
    if (size != 0 && GetTokenInformation(token, TokenUser, buffer.get(), size, &size) &&
        ConvertSidToStringSidW(user->User.Sid, &sid)) {
      const std::wstring sddl =
          L"D:P(A;;FA;;;" + std::wstring(sid) + L")(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFX;;;BU)";
      ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_,
                                                           nullptr);
      LocalFree(sid);
    }
    CloseHandle(token);
  }
  ~TDownloadSecurity() {
    if (descriptor_) LocalFree(descriptor_);
  }
  TDownloadSecurity(const TDownloadSecurity&) = delete;
  TDownloadSecurity& operator=(const TDownloadSecurity&) = delete;

  // For CreateFileW; null (the folder's default) only when the account's
  // identity could not be read.
  SECURITY_ATTRIBUTES* Attributes() {
    attributes_ = {sizeof attributes_, descriptor_, FALSE};
    return descriptor_ ? &attributes_ : nullptr;
  }
  // Puts the DACL on the file at path; best effort.
  void Apply(const std::wstring& path) const {
    PACL dacl = nullptr;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    if (!descriptor_ || !GetSecurityDescriptorDacl(descriptor_, &present, &dacl, &defaulted) || !present)
      return;
    SetNamedSecurityInfoW(const_cast<LPWSTR>(path.c_str()), SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          dacl, nullptr);
  }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

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

// Antivirus and the search indexer open a file right after it is closed,
// without sharing deletion, and let go soon after: a replacement or move
// that fails on a file in use is tried again for a while before it counts.
//
// ReplaceFileW keeps the replaced file's attributes and security settings;
// the security must be the new file's own, so it is put back on the file at
// once. (Not on the old file beforehand: that may be a link, whose target is
// not ours to change.) Anyone who opened the file for writing in between is
// caught by the checksum test before a start, which fails while such a
// handle is open. ReplaceFileW is given a backup name so that every
// way it can fail leaves a file to go back to: without one, it may fail after
// the old file is already gone. Whatever happens, the old file or the new one
// ends up at the target's name, or both stay where the error names them;
// only a copy that is no longer needed is deleted.
void ReplaceKeepingACopy(const std::wstring& targetPath, TempFile& temp, const std::string& path,
                         const TDownloadSecurity& security) {
  const std::filesystem::path target(targetPath);
  const std::wstring backup =
      (target.parent_path().empty() ? std::filesystem::path(L".") : target.parent_path()) /
      (L"." + target.filename().wstring() + L"." + RandomSuffix() + L".old");
  // A file in use makes ReplaceFileW fail before it renames anything, so the
  // same call may be made again.
  if (RetryWhileFileInUse([&] {
        return ReplaceFileW(targetPath.c_str(), temp.path_.c_str(), backup.c_str(),
                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
      })) {
    temp.path_.clear();
    security.Apply(targetPath);
    DeleteFileW(backup.c_str());  // best effort: a hidden leftover harms nothing
    return;
  }
  const DWORD error = GetLastError();
  const std::string reason = SystemErrorMessage(static_cast<int>(error));
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
    // The old file was moved to the backup name, the new one could not take
    // its place: put the old one back, else try the new one once more.
    if (MoveFileExW(backup.c_str(), targetPath.c_str(), 0)) {
      // The new file is dropped by the guard; the old one is back.
    } else if (MoveFileExW(temp.path_.c_str(), targetPath.c_str(), 0)) {
      temp.path_.clear();
      DeleteFileW(backup.c_str());
      return;
    } else {
      temp.path_.clear();  // keep both: neither is at the target's name
      throw EFileWriteError(
          "EWriteError", fmt::format("Cannot replace file \"{}\". {} The previous file was kept as \"{}\".",
                                     path, reason, WideToUtf8(backup)));
    }
  }
  // Any other failure left the old file where it was (with a backup name,
  // ReplaceFileW renames nothing before it can no longer fail back).
  throw EFileWriteError("EWriteError", fmt::format("Cannot replace file \"{}\". {}", path, reason));
}

}  // namespace

struct TReplacingFile::Impl {
  EFileWriteError WriteFailed() const {
    return EFileWriteError("EWriteError", fmt::format("Cannot write file \"{}\". {}", path, LastErrorText()));
  }

  std::string path;
  std::filesystem::path target;
  TDownloadSecurity security;
  TempFile temp;
  std::string tempPath;
};

// Programs and lists get the same DACL: whether Windows runs a file depends
// on its name, not on a permission bit.
TReplacingFile::TReplacingFile(const std::string& path, bool /*executable*/)
    : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  impl_->target = std::filesystem::path(Utf8ToWide(path));
  const std::wstring name = impl_->target.filename().wstring();
  if (name.empty() || name == L"." || name == L"..") {
    throw EFileWriteError("EFCreateError", fmt::format("Cannot create file \"{}\". Not a file name", path));
  }
  std::filesystem::path folder = impl_->target.parent_path();
  if (folder.empty()) folder = L".";

  TempFile& temp = impl_->temp;
  for (int attempt = 0; attempt < 16 && temp.handle_ == INVALID_HANDLE_VALUE; ++attempt) {
    const std::wstring candidate = (folder / (L"." + name + L"." + RandomSuffix() + L".part")).wstring();
    temp.handle_ = CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, impl_->security.Attributes(), CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (temp.handle_ != INVALID_HANDLE_VALUE) temp.path_ = candidate;
    if (temp.handle_ == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (temp.handle_ == INVALID_HANDLE_VALUE) {
    throw EFileWriteError("EFCreateError",
                          fmt::format("Cannot create file \"{}\". {}", path, LastErrorText()));
  }
  impl_->tempPath = WideToUtf8(temp.path_);
}

TReplacingFile::~TReplacingFile() = default;

void TReplacingFile::Write(const char* data, std::size_t size) {
  HANDLE handle = impl_->temp.handle_;
  if (handle == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    throw impl_->WriteFailed();
  }
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle, data, chunk, &written, nullptr)) throw impl_->WriteFailed();
    data += written;
    size -= written;
  }
}

void TReplacingFile::Truncate() {
  HANDLE handle = impl_->temp.handle_;
  if (handle == INVALID_HANDLE_VALUE ||
      SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER || !SetEndOfFile(handle)) {
    throw impl_->WriteFailed();
  }
}

void TReplacingFile::Close() {
  // No flush to disk before the replacement: see the POSIX variant. A failed
  // close can mean unwritten data, as there.
  if (impl_->temp.handle_ == INVALID_HANDLE_VALUE) return;
  if (!CloseHandle(std::exchange(impl_->temp.handle_, INVALID_HANDLE_VALUE))) throw impl_->WriteFailed();
}

const std::string& TReplacingFile::TempPath() const { return impl_->tempPath; }

void TReplacingFile::Commit() {
  Close();
  const std::string& path = impl_->path;
  TempFile& temp = impl_->temp;
  const std::wstring targetPath = impl_->target.wstring();
  const DWORD attributes = GetFileAttributesW(targetPath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    // A folder at the target's name is refused here, as rename() refuses it
    // on POSIX: left to ReplaceFileW, Wine's moves the folder to the backup
    // name, where the clean-up cannot delete it.
    throw EFileWriteError("EWriteError", fmt::format("Cannot replace file \"{}\". {}", path,
                                                     SystemErrorMessage(ERROR_ACCESS_DENIED)));
  }
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (!RetryWhileFileInUse(
            [&] { return MoveFileExW(temp.path_.c_str(), targetPath.c_str(), 0) != FALSE; })) {
      throw EFileWriteError("EWriteError",
                            fmt::format("Cannot replace file \"{}\". {}", path, LastErrorText()));
    }
    temp.path_.clear();
    return;
  }
  ReplaceKeepingACopy(targetPath, temp, path, impl_->security);
}

}  // namespace orvane
