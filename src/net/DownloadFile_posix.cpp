#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>

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

// Closes and removes the temporary file unless it was renamed into place.
class TempFile {
 public:
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  int fd_ = -1;
  std::string path_;
};

}  // namespace

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  const std::filesystem::path target(path);
  const std::string name = target.filename().string();
  if (name.empty() || name == "." || name == "..") {
    throw EFileWriteError("EFCreateError", fmt::format("Cannot create file \"{}\". Not a file name", path));
  }
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";

  struct stat existing {};
  const bool replacing = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

  TempFile temp;
  for (int attempt = 0; attempt < 16 && temp.fd_ < 0; ++attempt) {
    const std::string candidate = (folder / ("." + name + "." + RandomSuffix() + ".part")).string();
    // 0666 lets the umask decide, as for any file the program creates.
    temp.fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (temp.fd_ >= 0) temp.path_ = candidate;
    if (temp.fd_ < 0 && errno != EEXIST) break;
  }
  if (temp.fd_ < 0) {
    throw EFileWriteError("EFCreateError",
                          fmt::format("Cannot create file \"{}\". {}", path, ErrnoText(errno)));
  }
  // Best effort: a replaced file keeps its mode; failing that the new file
  // simply has the default one.
  if (replacing) (void)::fchmod(temp.fd_, existing.st_mode & 07777);

  const auto writeFailed = [&](int error) {
    return EFileWriteError("EWriteError",
                           fmt::format("Cannot write file \"{}\". {}", path, ErrnoText(error)));
  };
  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(temp.fd_, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw writeFailed(errno);
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  // No flush to disk before the rename: the rename already makes the
  // replacement all-or-nothing for a program that is interrupted, and a file
  // damaged by a power cut is caught by the checksum test before every start.
  const int fd = std::exchange(temp.fd_, -1);
  if (::close(fd) != 0) throw writeFailed(errno);
  if (::rename(temp.path_.c_str(), path.c_str()) != 0) {
    throw EFileWriteError("EWriteError",
                          fmt::format("Cannot replace file \"{}\". {}", path, ErrnoText(errno)));
  }
  temp.path_.clear();
}

}  // namespace orvane
