#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

#include <fmt/format.h>

#include <cerrno>
#include <cstdint>
#include <random>

#include "logging/LogDiagnostics.h"

namespace orvane {

namespace {

std::string BaseName(const char* path) {
  const std::string text = path ? path : "";
  const auto slash = text.rfind('/');
  return slash == std::string::npos ? text : text.substr(slash + 1);
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::vector<std::string> CaptureCallstack(int skip) {
  void* frames[64];
  const int count = ::backtrace(frames, 64);
  std::vector<std::string> lines;
  // Frame 0 is this function.
  for (int i = 1 + skip; i < count; ++i) {
    Dl_info info{};
    if (!::dladdr(frames[i], &info) || !info.dli_fname) {
      lines.push_back(fmt::format("{}", frames[i]));
      continue;
    }
    const auto offset =
        reinterpret_cast<std::uintptr_t>(frames[i]) - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    const std::string where = fmt::format("{}+0x{:x}", BaseName(info.dli_fname), offset);
    // Only exported functions have a name here; the module offset serves
    // addr2line for the rest.
    lines.push_back(info.dli_sname ? DemangleName(info.dli_sname) + " (" + where + ")" : where);
  }
  return lines;
}

bool ReplaceFileContents(const std::string& path, const std::string& bytes) {
  std::random_device random;
  for (int attempt = 0; attempt < 10; ++attempt) {
    const std::string temp = fmt::format("{}.{:08x}.tmp", path, random());
    // O_EXCL fails on any existing name, a planted link included.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    const bool written = WriteAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    // rename() replaces whatever is at path, a link too, without following it.
    if (written && closed && ::rename(temp.c_str(), path.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
  }
  return false;
}

}  // namespace orvane
