// Reference for the logger benchmark: the same lines, each appended with
// plain C stdio by opening, writing and closing the file, date stamp built
// per line. Prints the seconds it took.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "LoggerBenchLines.h"

int main(int argc, char** argv) {
  const auto run = ParseLoggerBenchArgs(argc, argv);
  if (!run) return 2;
  const std::vector<std::string>& texts = run->texts;

  const std::string path = run->folder + "/log_debug_bench_logger_ref.log";

  const auto start = std::chrono::steady_clock::now();
  for (const auto& text : texts) {
    char stamp[32];
    if (!AppendStdioLogLine(path, "bench_logger_ref", text, stamp)) return 1;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("%.6f\n", elapsed.count());
  return 0;
}
