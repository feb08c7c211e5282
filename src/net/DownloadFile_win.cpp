#include <windows.h>
// After windows.h, which it relies on.
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

// Hides a file left behind; the flag opens a link as itself, so only our
// own entry is touched. Best effort.
void HideFile(const std::wstring& path) {
  const HANDLE file =
      CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  FILE_BASIC_INFO info{};
  if (GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof info)) {
    info.FileAttributes |= FILE_ATTRIBUTE_HIDDEN;
    SetFileInformationByHandle(file, FileBasicInfo, &info, sizeof info);
  }
  CloseHandle(file);
}

// The old file is renamed to a backup name, then the new one is renamed to
// the target's name. A running program's file may be renamed though not
// replaced, so this works while the old tool still runs. ReplaceFileW would
// take the same two steps but also merge the old file's alternate data
// streams into the new one (a download would carry another file's
// Zone.Identifier, or whatever else was attached to the old one) and give it
// the old file's security; plain renames carry nothing over, and the new
// file keeps the protected DACL it was created with. Only the hidden and
// system attributes of the old file are passed on, beforehand, so that a
// file an administrator hid stays hidden.
//
// Whatever happens, the old file or the new one ends up at the target's
// name, or both stay where the error names them. The backup, deleted at
// the end, stays when the old program still runs: it is then hidden, and
// its name says whose it is.
void ReplaceKeepingACopy(const std::wstring& targetPath, DWORD oldAttributes, TempFile& temp,
                         const std::string& path) {
  const DWORD kept = oldAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  if (kept != 0) SetFileAttributesW(temp.path_.c_str(), kept);
  const std::filesystem::path target(targetPath);
  const std::wstring backup =
      (target.parent_path().empty() ? std::filesystem::path(L".") : target.parent_path()) /
      (target.filename().wstring() + L"." + RandomSuffix() + L".orvane-old");
  // Antivirus and the search indexer open a file right after it is closed,
  // without sharing deletion, and let go soon after: a rename that fails on
  // a file in use is tried again for a while before it counts. The old file
  // stays where it was when it cannot be moved aside.
  if (!RetryWhileFileInUse([&] { return MoveFileExW(targetPath.c_str(), backup.c_str(), 0) != FALSE; })) {
    throw EFileWriteError("EWriteError",
                          fmt::format("Cannot replace file \"{}\". {}", path, LastErrorText()));
  }
  if (RetryWhileFileInUse([&] { return MoveFileExW(temp.path_.c_str(), targetPath.c_str(), 0) != FALSE; })) {
    temp.path_.clear();
    if (!DeleteFileW(backup.c_str())) HideFile(backup);
    return;
  }
  const std::string reason = LastErrorText();
  // The new file could not take the old one's place: put the old one back,
  // else try the new one once more.
  if (MoveFileExW(backup.c_str(), targetPath.c_str(), 0)) {
    throw EFileWriteError("EWriteError", fmt::format("Cannot replace file \"{}\". {}", path, reason));
  }
  if (MoveFileExW(temp.path_.c_str(), targetPath.c_str(), 0)) {
    temp.path_.clear();
    if (!DeleteFileW(backup.c_str())) HideFile(backup);
    return;
  }
  temp.path_.clear();  // keep both: neither is at the target's name
  throw EFileWriteError(
      "EWriteError", fmt::format("Cannot replace file \"{}\". {} The previous file was kept as \"{}\".", path,
                                 reason, WideToUtf8(backup)));
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
    // on POSIX: it would otherwise be moved to the backup name, where the
    // clean-up cannot delete it.
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
  ReplaceKeepingACopy(targetPath, attributes, temp, path);
}

}  // namespace orvane
