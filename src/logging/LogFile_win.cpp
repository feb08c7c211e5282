// The log file through the C runtime's wide-name file calls, whose handle is
// the same int descriptor the POSIX variant keeps. Binary mode: the logger
// writes its own CR LF line ends, which text mode would turn into CR CR LF.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "logging/LogFile.h"
#include "system/OSFunctions_win.h"

namespace orvane {

TLogFile::~TLogFile() { Close(); }

TLogFile::TOpenResult TLogFile::Open(const std::string& path) {
  Close();
  const std::wstring name = Utf8ToWide(path);
  constexpr int kFlags = _O_WRONLY | _O_APPEND | _O_BINARY | _O_NOINHERIT;
  // Append to an existing file; create it only when it is missing, and
  // exclusively, so that the header goes only into a file this call made even
  // when another process creates the file at the same moment. Other processes
  // may read and write the file meanwhile (no sharing restriction).
  for (int round = 0; round < 2; ++round) {
    errno_t error = _wsopen_s(&fd_, name.c_str(), kFlags, _SH_DENYNO, 0);
    if (error == 0) return TOpenResult::Appended;
    if (error != ENOENT) return TOpenResult::Failed;
    error = _wsopen_s(&fd_, name.c_str(), kFlags | _O_CREAT | _O_EXCL, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (error == 0) return TOpenResult::Created;
    if (error != EEXIST) return TOpenResult::Failed;
  }
  return TOpenResult::Failed;
}

std::size_t TLogFile::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    // _write takes an unsigned count but reports it as int.
    const auto chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, INT_MAX));
    const int n = _write(fd_, bytes.data() + done, chunk);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void TLogFile::Close() {
  if (fd_ >= 0) _close(fd_);
  fd_ = -1;
}

}  // namespace orvane
