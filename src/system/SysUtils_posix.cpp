// PLACEHOLDER subset: the folder-and-version unit completes this file.
#include <unistd.h>

#include <climits>

#include "system/SysUtils.h"

namespace orvane {

std::string GetExecutablePath() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

}  // namespace orvane
