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

#include "system/CheckedFile.h"
#include "system/FileDescriptor.h"
#include "system/OSError.h"
#include "system/SHA256.h"

namespace orvane {

void ReadFileBlocksForHashing(const std::string& fileName, const FileBlockSink& sink) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) RaiseOSError(errno, fileName);
  const FileDescriptor file(fd);

  struct stat info {};
  if (::fstat(fd, &info) != 0) RaiseOSError(errno, fileName);
  if (S_ISDIR(info.st_mode)) RaiseOSError(EISDIR, fileName);
  if (!S_ISREG(info.st_mode)) RaiseOSError(EINVAL, fileName + ": not a regular file");

  // Only a hint; hashing works the same when the kernel ignores it.
  (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

  // The checked file's reader: it compares size and modification time
  // before and after.
  ReadCheckedFileBlocks(fd, fileName, sink);
}

}  // namespace orvane
