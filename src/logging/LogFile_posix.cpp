#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "logging/LogFile.h"

namespace orvane {

TLogFile::~TLogFile() { Close(); }

TLogFile::TOpenResult TLogFile::Open(const std::string& path) {
  Close();
  // Append to an existing file; create it only when it is missing, and
  // exclusively, so that the header goes only into a file this call made even
  // when another process creates the file at the same moment.
  for (int round = 0; round < 2; ++round) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd_ >= 0) return TOpenResult::Appended;
    if (errno != ENOENT) return TOpenResult::Failed;
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) return TOpenResult::Created;
    if (errno != EEXIST) return TOpenResult::Failed;
  }
  return TOpenResult::Failed;
}

std::size_t TLogFile::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  return done;
}

void TLogFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace orvane
