// Writes N debug lines through the logger's file output, date stamp and
// executable prefix on, and prints the seconds it took.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "LoggerBenchLines.h"

#include "logging/Logging.h"

int main(int argc, char** argv) {
  const auto run = ParseLoggerBenchArgs(argc, argv);
  if (!run) return 2;
  const std::vector<std::string>& texts = run->texts;

  orvane::TLogSettings settings;
  settings.LoggingEnabled = true;
  settings.LogToFile = true;
  settings.AlwaysShowDebug = true;
  settings.PrependDate = true;
  settings.AppendExecName = true;
  settings.DebugLogFile = run->folder + "/log_debug.log";
  orvane::TLogging log(nullptr, "", settings);

  const auto start = std::chrono::steady_clock::now();
  for (const auto& text : texts) log.Debug(text);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("%.6f\n", elapsed.count());
  return 0;
}
