// A harmless program published in place of a remote-support tool. Started,
// it writes the arguments it was given, one line each, into a marker file,
// which appears complete or not at all.
#pragma once

#include <filesystem>
#include <memory>

namespace orvane::test {

class TStandInTool {
 public:
  // Writes the program to file (a shell script on POSIX, a copy of the
  // stand-in program on Windows) reporting into marker.
  TStandInTool(const std::filesystem::path& file, const std::filesystem::path& marker);
  ~TStandInTool();
  TStandInTool(const TStandInTool&) = delete;
  TStandInTool& operator=(const TStandInTool&) = delete;

 private:
  struct TState;  // what the platform keeps while the tool may run
  std::unique_ptr<TState> state_;
};

}  // namespace orvane::test
