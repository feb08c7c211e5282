// The checked file on POSIX: a read-only descriptor on the file itself (a
// link is refused, never followed), vetted so that nobody but its owner (us)
// or root can change its bytes while it is held; the program is then started
// through the descriptor (ShellOpen_posix.cpp).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "system/CheckedFile.h"
#include "system/FileDescriptor.h"
#include "system/OSError.h"

namespace orvane {

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;

bool SameContentState(const struct stat& a, const struct stat& b) {
  return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

std::intptr_t OpenCheckedFile(const std::string& path) {
  // O_NONBLOCK: a FIFO of that name cannot block the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) {
    const int error = errno;
    struct stat st {};
    if (error == ELOOP && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
      RefuseCheckedFile(path, kCheckedFileIsLink);
    RaiseOSError(error, path);
  }
  FileDescriptor file(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) RaiseOSError(errno, path);
  if (S_ISDIR(st.st_mode)) RaiseOSError(EISDIR, path);
  if (!S_ISREG(st.st_mode)) RaiseOSError(EINVAL, path + ": not a regular file");
  // Its owner can always change it; root can change anything anyway.
  if (st.st_uid != ::geteuid() && st.st_uid != 0)
    RefuseCheckedFile(path, "it belongs to another user of this computer");
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    RefuseCheckedFile(
        path, "other users of this computer may change it (it is writable by its group or by others)");
  return file.release();
}

void CloseCheckedFile(std::intptr_t native) noexcept {
  if (native != kNoCheckedFile) ::close(static_cast<int>(native));
}

void ReadCheckedFileBlocks(std::intptr_t native, const std::string& path, const FileBlockSink& sink) {
  const int fd = static_cast<int>(native);
  struct stat before {};
  if (::fstat(fd, &before) != 0) RaiseOSError(errno, path);
  const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(kBlockSize);
  // pread: the descriptor's own position is left alone, so every call reads
  // the file from its start.
  for (off_t offset = 0;;) {
    const ssize_t n = ::pread(fd, buffer.get(), kBlockSize, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseOSError(errno, path);
    }
    if (n == 0) break;
    sink(buffer.get(), static_cast<std::size_t>(n));
    offset += n;
  }
  struct stat after {};
  if (::fstat(fd, &after) != 0) RaiseOSError(errno, path);
  if (!SameContentState(before, after)) RaiseOSError(EBUSY, path + ": changed while being read");
}

}  // namespace orvane
