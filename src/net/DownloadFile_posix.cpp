#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <utility>

#include <fmt/format.h>

#include "net/DownloadFile.h"
#include "system/OSFunctions.h"

namespace orvane {
namespace {

std::string ErrnoText(int error) { return SystemErrorMessage(error); }

std::string RandomSuffix() {
  static std::mt19937_64 generator{std::random_device{}()};
  return fmt::format("{:012x}", generator() & 0xffffffffffffULL);
}

}  // namespace

struct TReplacingFile::Impl {
  ~Impl() {
    if (fd >= 0) ::close(fd);
    if (!tempPath.empty()) ::unlink(tempPath.c_str());
  }
  EFileWriteError WriteFailed(int error) const {
    return EFileWriteError("EWriteError",
                           fmt::format("Cannot write file \"{}\". {}", path, ErrnoText(error)));
  }

  std::string path;
  int fd = -1;
  std::string tempPath;  // empty once renamed into place
};

TReplacingFile::TReplacingFile(const std::string& path, bool executable) : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  const std::filesystem::path target(path);
  const std::string name = target.filename().string();
  if (name.empty() || name == "." || name == "..") {
    throw EFileWriteError("EFCreateError", fmt::format("Cannot create file \"{}\". Not a file name", path));
  }
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";

  for (int attempt = 0; attempt < 16 && impl_->fd < 0; ++attempt) {
    const std::string candidate = (folder / ("." + name + "." + RandomSuffix() + ".part")).string();
    // Never writable by group or others, whatever the old file allowed; the
    // umask may take away more.
    impl_->fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, executable ? 0755 : 0644);
    if (impl_->fd >= 0) impl_->tempPath = candidate;
    if (impl_->fd < 0 && errno != EEXIST) break;
  }
  if (impl_->fd < 0) {
    throw EFileWriteError("EFCreateError",
                          fmt::format("Cannot create file \"{}\". {}", path, ErrnoText(errno)));
  }
}

TReplacingFile::~TReplacingFile() = default;

void TReplacingFile::Write(const char* data, std::size_t size) {
  if (impl_->fd < 0) throw impl_->WriteFailed(EBADF);
  while (size > 0) {
    const ssize_t written = ::write(impl_->fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw impl_->WriteFailed(errno);
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
}

void TReplacingFile::Truncate() {
  if (impl_->fd < 0 || ::ftruncate(impl_->fd, 0) != 0 || ::lseek(impl_->fd, 0, SEEK_SET) != 0) {
    throw impl_->WriteFailed(impl_->fd < 0 ? EBADF : errno);
  }
}

void TReplacingFile::Close() {
  // No flush to disk before the rename: the rename already makes the
  // replacement all-or-nothing for a program that is interrupted, and a file
  // damaged by a power cut is caught by the checksum test before every start.
  if (impl_->fd < 0) return;
  if (::close(std::exchange(impl_->fd, -1)) != 0) throw impl_->WriteFailed(errno);
}

const std::string& TReplacingFile::TempPath() const { return impl_->tempPath; }

void TReplacingFile::Commit() {
  Close();
  if (::rename(impl_->tempPath.c_str(), impl_->path.c_str()) != 0) {
    throw EFileWriteError("EWriteError",
                          fmt::format("Cannot replace file \"{}\". {}", impl_->path, ErrnoText(errno)));
  }
  impl_->tempPath.clear();
}

}  // namespace orvane
