// The log file handle: opened for one message, written, closed again.
//
// Each platform supplies the three steps with its own file calls; the retry
// policy and what is written live in TLogging.
#pragma once

#include <cstddef>
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
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace orvane
