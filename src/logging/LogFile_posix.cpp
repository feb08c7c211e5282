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
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd >= 0) {
      handle_ = fd;
      return TOpenResult::Appended;
    }
    if (errno != ENOENT) return TOpenResult::Failed;
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      handle_ = fd;
      return TOpenResult::Created;
    }
    if (errno != EEXIST) return TOpenResult::Failed;
  }
  return TOpenResult::Failed;
}

std::size_t TLogFile::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (IsOpen() && done < bytes.size()) {
    const ssize_t n = ::write(static_cast<int>(handle_), bytes.data() + done, bytes.size() - done);
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
  if (IsOpen()) ::close(static_cast<int>(handle_));
  handle_ = kClosed;
}

}  // namespace orvane
