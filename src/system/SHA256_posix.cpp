// POSIX has no share modes, so a file cannot be opened "exclusively" the way
// the Windows variant refuses a file that someone is writing. Instead:
//  - the file is opened read-only (O_CLOEXEC so a started tool never inherits
//    it, O_NONBLOCK so that a FIFO of that name cannot block the open);
//    symbolic links are followed like any other program would;
//  - anything but a regular file is refused, so a device or FIFO can neither
//    hang the window nor be hashed forever;
//  - size and modification time are compared before and after reading; if a
//    writer changed the file meanwhile the call raises EBUSY rather than
//    returning the digest of a half-written file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "system/FileDescriptor.h"
#include "system/OSError.h"
#include "system/SHA256.h"

namespace orvane {

namespace {

// Large enough that the per-read system call cost vanishes next to hashing,
// small enough that a block copied in by read() is still in the core's cache
// when the hash reads it (larger blocks measured slower).
constexpr std::size_t kBlockSize = std::size_t{1} << 20;

bool SameContentState(const struct stat& a, const struct stat& b) {
  return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ino == b.st_ino && a.st_dev == b.st_dev;
}

}  // namespace

void ReadFileBlocksForHashing(const std::string& fileName, const FileBlockSink& sink) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) RaiseOSError(errno, fileName);
  const FileDescriptor file(fd);

  struct stat before {};
  if (::fstat(fd, &before) != 0) RaiseOSError(errno, fileName);
  if (S_ISDIR(before.st_mode)) RaiseOSError(EISDIR, fileName);
  if (!S_ISREG(before.st_mode)) RaiseOSError(EINVAL, fileName + ": not a regular file");

  // Only a hint; hashing works the same when the kernel ignores it.
  (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

  const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(kBlockSize);
  for (;;) {
    const ssize_t n = ::read(fd, buffer.get(), kBlockSize);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseOSError(errno, fileName);
    }
    if (n == 0) break;
    sink(buffer.get(), static_cast<std::size_t>(n));
  }

  struct stat after {};
  if (::fstat(fd, &after) != 0) RaiseOSError(errno, fileName);
  if (!SameContentState(before, after)) RaiseOSError(EBUSY, fileName + ": changed while being read");
}

}  // namespace orvane
