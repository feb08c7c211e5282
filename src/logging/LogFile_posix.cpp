#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "logging/LogFile.h"

namespace orvane {

namespace {

// Removes the last `fragment` bytes, which this process wrote and which end
// at offset `end`, unless another writer has appended after them meanwhile.
bool CutBack(int fd, off_t end, std::size_t fragment) {
  struct stat st {};
  if (end < 0 || static_cast<off_t>(fragment) > end || ::fstat(fd, &st) != 0 || st.st_size != end)
    return false;
  return ::ftruncate(fd, end - static_cast<off_t>(fragment)) == 0;
}

// A regular file with no second name: a hard link planted under the log's
// name would otherwise let the program append to the file it points to.
bool IsPlainFile(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1;
}

}  // namespace

TLogFile::~TLogFile() { Close(); }

TLogFile::TOpenResult TLogFile::Open(const std::string& path) {
  Close();
  path_ = path;
  // Append to an existing file; create it only when it is missing, and
  // exclusively, so that the header goes only into a file this call made even
  // when another process creates the file at the same moment. A link of that
  // name is never followed: whoever can plant one beside the log would have
  // the program append to a file of their choosing. O_NONBLOCK keeps a FIFO
  // of that name from blocking the open.
  constexpr int kFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
  for (int round = 0; round < 2; ++round) {
    int fd = ::open(path.c_str(), kFlags);
    if (fd >= 0) {
      if (!IsPlainFile(fd)) {
        ::close(fd);
        return TOpenResult::Failed;
      }
      handle_ = fd;
      return TOpenResult::Appended;
    }
    if (errno != ENOENT) return TOpenResult::Failed;
    fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
      handle_ = fd;
      return TOpenResult::Created;
    }
    if (errno != EEXIST) return TOpenResult::Failed;
  }
  return TOpenResult::Failed;
}

std::size_t TLogFile::Write(const std::string& bytes) {
  if (!IsOpen()) return 0;
  const int fd = static_cast<int>(handle_);
  std::size_t done = 0;
  // Where the last bytes that reached the file end: with O_APPEND each write
  // goes to the end of the file and leaves the offset behind its bytes.
  off_t end = -1;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      end = ::lseek(fd, 0, SEEK_CUR);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  if (done == bytes.size()) return done;
  const std::size_t kept = WholeLinesLength(bytes, done);
  if (kept < done && !CutBack(fd, end, done - kept)) {
    // Best effort: with the limit reached this line end may not fit either.
    const ssize_t ignored = ::write(fd, "\r\n", 2);
    static_cast<void>(ignored);
  }
  return kept;
}

void TLogFile::Discard() {
  const bool wasOpen = IsOpen();
  Close();
  if (wasOpen) ::unlink(path_.c_str());
}

void TLogFile::Close() {
  if (IsOpen()) ::close(static_cast<int>(handle_));
  handle_ = kClosed;
}

}  // namespace orvane
