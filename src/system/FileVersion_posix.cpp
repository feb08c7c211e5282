// File versions on POSIX: PE files through the portable reader; the running
// program (an ELF file without version resource), named by an empty text or
// by its own path, reports the version it was built as, with build number 0.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "OrvaneBuildConfig.h"
#include "system/FileVersion.h"

namespace orvane {
namespace {

class FileSource : public TPeSource {
 public:
  explicit FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::uint64_t Size() const override { return size_; }

  int ReadAt(std::uint64_t offset, void* out, std::size_t n) override {
    auto* dst = static_cast<char*>(out);
    while (n > 0) {
      const ssize_t got = pread(fd_, dst, n, static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return errno;
      if (got == 0) return ENOEXEC;  // the file became shorter while we read it
      dst += got;
      offset += static_cast<std::uint64_t>(got);
      n -= static_cast<std::size_t>(got);
    }
    return 0;
  }

 private:
  int fd_;
  std::uint64_t size_;
};

TFileVersionQuery BuildVersion() {
  TFileVersionQuery query;
  query.version = {ORVANE_VERSION_MAJOR, ORVANE_VERSION_MINOR, ORVANE_VERSION_PATCH, 0};
  return query;
}

bool IsRunningProgram(const struct stat& st) {
  struct stat self {};
  return stat("/proc/self/exe", &self) == 0 && self.st_dev == st.st_dev && self.st_ino == st.st_ino;
}

}  // namespace

TFileVersionQuery QueryFileVersion(const std::string& file) {
  if (file.empty()) return BuildVersion();
  TFileVersionQuery query;
  // O_NONBLOCK: a FIFO must not make us wait for a writer.
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    query.error = errno;
    return query;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    query.error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    query.error = EISDIR;
  } else if (!S_ISREG(st.st_mode)) {
    query.error = ENOEXEC;
  } else if (IsRunningProgram(st)) {
    query = BuildVersion();
  } else {
    FileSource source(fd, static_cast<std::uint64_t>(st.st_size));
    query = ReadPeFileVersion(source);
  }
  close(fd);
  return query;
}

}  // namespace orvane
