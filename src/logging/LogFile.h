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

  // Appends the bytes; returns how many reached the file (all of them unless
  // an error such as a full disk stopped the write).
  std::size_t Write(const std::string& bytes);

  void Close();
  bool IsOpen() const { return handle_ != kClosed; }

 private:
  // The platform's handle: a file descriptor on POSIX, a HANDLE on Windows.
  // -1 is neither a valid descriptor nor a valid file HANDLE.
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;
};

}  // namespace orvane
