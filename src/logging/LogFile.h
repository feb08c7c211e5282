// The log file handle: opened for one message, written, closed again.
//
// Each platform supplies the three steps with its own file calls; the retry
// policy and what is written live in TLogging.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvane {

class TLogFile {
 public:
  enum class TOpenResult { Failed, Appended, Created };

  TLogFile() = default;
  ~TLogFile();
  TLogFile(const TLogFile&) = delete;
  TLogFile& operator=(const TLogFile&) = delete;

  // One attempt: opens an existing file for appending, or creates it when it
  // does not exist. Created means this call made the file (it is empty).
  TOpenResult Open(const std::string& path);

  // Appends the bytes, which are whole lines each ending in "\n"; returns how
  // many of them stay in the file. All of them, unless an error such as a
  // full disk or a file size limit stops the write part-way: then the file is
  // cut back to the end of the last line that went in whole, so it never ends
  // in a fragment that the next write would glue its first line to. Where the
  // file cannot be cut back (another writer appended meanwhile), the fragment
  // is ended with a line end instead.
  std::size_t Write(const std::string& bytes);

  void Close();
  // Closes the file and removes it: for a file just created whose header did
  // not go in whole, so that the next message creates it afresh.
  void Discard();
  bool IsOpen() const { return handle_ != kClosed; }

 private:
  // The platform's handle: a file descriptor on POSIX, a HANDLE on Windows.
  // -1 is neither a valid descriptor nor a valid file HANDLE.
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;
  std::string path_;
};

// How many of the first `written` bytes of `bytes` belong to whole lines, that
// is the position after the last "\n" among them (0 when there is none).
std::size_t WholeLinesLength(const std::string& bytes, std::size_t written);

}  // namespace orvane
