// Writes N debug lines through the logger's file output, date stamp and
// executable prefix on, and prints the seconds it took.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "logging/Logging.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <folder> [lines]\n", argv[0]);
    return 2;
  }
  const int count = argc > 2 ? std::atoi(argv[2]) : 100000;
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    texts.push_back("Benchmark line " + std::to_string(i) + " of the logger run");

  orvane::TLogSettings settings;
  settings.LoggingEnabled = true;
  settings.LogToFile = true;
  settings.AlwaysShowDebug = true;
  settings.PrependDate = true;
  settings.AppendExecName = true;
  settings.DebugLogFile = std::string(argv[1]) + "/log_debug.log";
  orvane::TLogging log(nullptr, "", settings);

  const auto start = std::chrono::steady_clock::now();
  for (const auto& text : texts) log.Debug(text);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("%.6f\n", elapsed.count());
  return 0;
}
