// The configuration file on POSIX: the 8-bit code page is UTF-8, and the file
// is read and written with plain system calls so that failures carry errno.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "app/ConfigFile.h"
#include "app/JSONHelper.h"
#include "system/FileDescriptor.h"
#include "system/OSError.h"

namespace orvane {

// Hand-edited files are usually UTF-8; bytes that are not valid UTF-8 (say a
// Latin-1 "ü") become U+FFFD instead of failing the whole file.
std::string DecodeAnsiText(std::string_view bytes) { return SanitizeUtf8(bytes); }

std::optional<std::string> ReadConfigFileBytes(const std::string& path, std::size_t limit) {
  // O_NONBLOCK keeps a FIFO of that name from blocking the open.
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    RaiseOSError(errno, path);
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) RaiseOSError(errno, path);
  if (S_ISDIR(info.st_mode)) return std::nullopt;
  if (!S_ISREG(info.st_mode)) RaiseOSError(EINVAL, path + ": not a regular file");

  std::string bytes;
  char buffer[64 * 1024];
  while (bytes.size() < limit) {
    const ssize_t n = ::read(file.get(), buffer, std::min(sizeof buffer, limit - bytes.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseOSError(errno, path);
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

void WriteConfigFileBytes(const std::string& path, std::string_view bytes) {
  // Never through a link planted under the file's name (symbolic or hard):
  // the program would overwrite whatever file it points to. The file is
  // emptied only once it is known to be a plain file of its own.
  FileDescriptor file(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, 0666));
  if (file.get() < 0) {
    if (errno == ELOOP) RaiseOSError(errno, path + " is a link to another file and is not written through");
    RaiseOSError(errno, path);
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) RaiseOSError(errno, path);
  if (!S_ISREG(info.st_mode)) RaiseOSError(EINVAL, path + ": not a regular file");
  if (info.st_nlink != 1)
    RaiseOSError(EMLINK, path + " is a link to another file and is not written through");
  if (::ftruncate(file.get(), 0) != 0) RaiseOSError(errno, path);
  while (!bytes.empty()) {
    const ssize_t n = ::write(file.get(), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseOSError(errno, path);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  // Some file systems report write errors only when the file is closed.
  if (::close(file.release()) != 0) RaiseOSError(errno, path);
}

}  // namespace orvane
