// The command line and the line texts shared by the logger benchmark and its
// reference, so that both write exactly the same messages.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

struct LoggerBenchRun {
  std::string folder;
  std::vector<std::string> texts;
};

// "<program> <folder> [lines]"; nullopt (after a usage line) when the folder
// is missing.
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
