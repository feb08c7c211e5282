// The log file through CreateFileW with append-only access: every WriteFile
// lands at the current end of the file, and writers of several instances of
// the program never overwrite each other's lines (the C runtime's append mode
// seeks first and writes second, so two writers could). Windows makes such
// appends atomic only on local disks, so each write also holds an exclusive
// lock that every instance takes (see AppendLock). The bytes are written as
// they are; the logger brings its own CR LF line ends. A write that stops
// part-way is cut back to its last whole line (see CutBack).
#include <windows.h>

#include <algorithm>

#include "logging/LogFile.h"
#include "system/OSFunctions_win.h"

namespace orvane {
namespace {

// A byte far beyond the end of any log file: locking it keeps readers of the
// file unaffected and serialises the writers, on a network share too.
constexpr DWORD kLockOffsetLow = 0xFFFFFFFE;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
// A writer holds the lock for one write; a lock that stays taken (a
// suspended instance) must not stop logging, so after this long the write
// goes ahead without it. Bounded by the clock, not by a number of tries:
// Sleep(1) lasts a whole timer tick (15.6 ms by default), so 50 tries took
// about 0.8 s for every line.
constexpr ULONGLONG kLockWaitMs = 100;

class AppendLock {
 public:
  explicit AppendLock(HANDLE file) : file_(file) {
    at_.Offset = kLockOffsetLow;
    at_.OffsetHigh = kLockOffsetHigh;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
      locked_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at_) != 0;
      if (locked_ || GetTickCount64() - start >= kLockWaitMs) break;
      Sleep(1);
    }
  }
  ~AppendLock() {
    if (locked_) UnlockFileEx(file_, 0, 1, 0, &at_);
  }
  AppendLock(const AppendLock&) = delete;
  AppendLock& operator=(const AppendLock&) = delete;

 private:
  HANDLE file_;
  OVERLAPPED at_{};
  bool locked_ = false;
};

// Sets the end of the file to `size`. The append-only handle may not change
// the file's length, so a second handle with write access does it; the other
// handles on the file share writing, so it can be had.
bool CutBack(HANDLE file, LONGLONG size) {
  HANDLE writer = ReOpenFile(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
  if (writer == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER at{};
  at.QuadPart = size;
  const bool cut = SetFilePointerEx(writer, at, nullptr, FILE_BEGIN) && SetEndOfFile(writer);
  CloseHandle(writer);
  return cut;
}

// A file on a disk that is neither a reparse point nor known under a second
// name (a hard link planted under the log's name).
bool IsPlainFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
         info.nNumberOfLinks == 1;
}

}  // namespace

TLogFile::~TLogFile() { Close(); }

TLogFile::TOpenResult TLogFile::Open(const std::string& path) {
  Close();
  path_ = path;
  const std::wstring name = Utf8ToWide(path);
  // Readers such as an editor or a tail tool, and other instances of the
  // program, keep the file open meanwhile; sharing delete lets another
  // instance rotate the file away while this one holds it for a moment.
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  // Append-only writing; reading rights only because Windows grants
  // byte-range locks to handles with read or write-data access.
  constexpr DWORD kAccess = FILE_APPEND_DATA | FILE_READ_DATA;
  // Append to an existing file; create it only when it is missing, and
  // exclusively, so that the header goes only into a file this call made even
  // when another process creates the file at the same moment.
  // A reparse point (symbolic link, junction) of that name is opened as
  // itself, not followed, and refused like any other name that is no plain
  // file: whoever can plant one beside the log would have the program append
  // to a file of their choosing.
  for (int round = 0; round < 2; ++round) {
    HANDLE file = CreateFileW(name.c_str(), kAccess, kShare, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      if (!IsPlainFile(file)) {
        CloseHandle(file);
        return TOpenResult::Failed;
      }
      handle_ = reinterpret_cast<std::intptr_t>(file);
      return TOpenResult::Appended;
    }
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return TOpenResult::Failed;
    file = CreateFileW(name.c_str(), kAccess, kShare, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<std::intptr_t>(file);
      return TOpenResult::Created;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return TOpenResult::Failed;
  }
  return TOpenResult::Failed;
}

std::size_t TLogFile::Write(const std::string& bytes) {
  if (!IsOpen() || bytes.empty()) return 0;
  const auto file = reinterpret_cast<HANDLE>(handle_);
  const AppendLock lock(file);
  // Under the lock no other instance appends, so these bytes start at the
  // present end of the file.
  LARGE_INTEGER start{};
  const bool knowStart = GetFileSizeEx(file, &start) != 0;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, MAXDWORD));
    DWORD n = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &n, nullptr) || n == 0) break;
    done += n;
  }
  if (done == bytes.size()) return done;
  const std::size_t kept = WholeLinesLength(bytes, done);
  if (kept < done) {
    // Cut back only when the file ends with these bytes (a writer that did
    // not get the lock may have appended after them).
    LARGE_INTEGER now{};
    const bool ours = knowStart && GetFileSizeEx(file, &now) != 0 &&
                      now.QuadPart == start.QuadPart + static_cast<LONGLONG>(done);
    if (!ours || !CutBack(file, start.QuadPart + static_cast<LONGLONG>(kept))) {
      // Best effort: on a full disk this line end may not fit either.
      DWORD n = 0;
      WriteFile(file, "\r\n", 2, &n, nullptr);
    }
  }
  return kept;
}

void TLogFile::Discard() {
  const bool wasOpen = IsOpen();
  Close();
  if (wasOpen) DeleteFileW(Utf8ToWide(path_).c_str());
}

void TLogFile::Close() {
  if (IsOpen()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kClosed;
}

}  // namespace orvane
