#include <fcntl.h>
#include <stdio.h>  // renameat2 and RENAME_NOREPLACE (glibc)
#include <unistd.h>

#include <cerrno>

#include "logging/LogRotation.h"

namespace orvane {

bool RenameFileNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  // Some file systems (and older kernels) lack the flag; a hard link is
  // just as exclusive: it fails when the name exists.
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  if (::unlink(from.c_str()) != 0) {
    // Both names now point at the file: take the new one back so that the
    // file is not archived or moved twice.
    ::unlink(to.c_str());
    return false;
  }
  return true;
}

std::string FileNameCaseFold(const std::string& name) { return name; }

}  // namespace orvane
