// Reference for the logger benchmark: the same lines, each appended with
// plain C stdio by opening, writing and closing the file, date stamp built
// per line. Prints the seconds it took.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &local);
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) return 1;
    std::fprintf(f, "(bench_logger_ref) : %s: (Debug        ): %s\r\n", stamp, text.c_str());
    std::fclose(f);
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("%.6f\n", elapsed.count());
  return 0;
}
