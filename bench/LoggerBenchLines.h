// The command line and the line texts shared by the logger benchmark and its
// reference, so that both write exactly the same messages.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

struct LoggerBenchRun {
  std::string folder;
  std::vector<std::string> texts;
};

// "<program> <folder> [lines]"; nullopt (after a usage line) when the folder
// is missing.
// What the reference programs do per line, the way a small C program logs:
// the date stamp built from the clock, the file opened, the line appended and
// the file closed again. The stamp is left in stamp for a caller that sends
// the line elsewhere too. False when the file cannot be opened.
inline bool AppendStdioLogLine(const std::string& path, const char* program, const std::string& text,
                               char (&stamp)[32]) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &local);
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (!f) return false;
  std::fprintf(f, "(%s) : %s: (Debug        ): %s\r\n", program, stamp, text.c_str());
  std::fclose(f);
  return true;
}

inline std::optional<LoggerBenchRun> ParseLoggerBenchArgs(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <folder> [lines]\n", argv[0]);
    return std::nullopt;
  }
  const int count = argc > 2 ? std::atoi(argv[2]) : 100000;
  LoggerBenchRun run{argv[1], {}};
  run.texts.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
  for (int i = 0; i < count; ++i)
    run.texts.push_back("Benchmark line " + std::to_string(i) + " of the logger run");
  return run;
}
