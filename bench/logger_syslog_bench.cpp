// Writes N debug lines through the logger with the file output (date stamp,
// executable prefix, rotation into zip archives at 1 MB) and syslog to a
// receiver on 127.0.0.1. The rotation timer is ticked every 1000 lines, far
// more often than the program's once a second, so that the run rotates
// several times. Prints the seconds it took and the datagrams received.
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LoggerBenchLines.h"
#include "LoopbackUdpReceiver.h"

#include "logging/Logging.h"
#include "logging/SyslogSink.h"

namespace {

class HandTickedTimer : public orvane::ILogTimer {
 public:
  explicit HandTickedTimer(std::function<void()> onTick) : onTick_(std::move(onTick)) {}
  void Start() override { running_ = true; }
  void Stop() override { running_ = false; }
  bool IsRunning() const override { return running_; }
  void Tick() {
    if (running_) onTick_();
  }

 private:
  std::function<void()> onTick_;
  bool running_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  const auto run = ParseLoggerBenchArgs(argc, argv);
  if (!run) return 2;
  const std::vector<std::string>& texts = run->texts;
  LoopbackUdpReceiver receiver;

  std::vector<HandTickedTimer*> timers;
  orvane::TLogSettings settings;
  settings.LoggingEnabled = true;
  settings.LogToFile = true;
  settings.AlwaysShowDebug = true;
  settings.PrependDate = true;
  settings.AppendExecName = true;
  settings.DebugLogFile = run->folder + "/log_debug.log";
  settings.EnableLogRotation = true;
  settings.CompressOldFiles = true;
  settings.LogFileMaxSizeInMB = 1;
  settings.SyslogEnabled = true;
  settings.ServerName = "127.0.0.1";
  settings.ServerPort = receiver.Port();
  settings.SyslogSinkFactory = orvane::MakeSyslogSinkFactory();
  settings.TimerFactory = [&timers](int, std::function<void()> onTick) -> std::unique_ptr<orvane::ILogTimer> {
    auto timer = std::make_unique<HandTickedTimer>(std::move(onTick));
    timers.push_back(timer.get());
    return timer;
  };
  orvane::TLogging log(nullptr, "", settings);

  const auto start = std::chrono::steady_clock::now();
  std::size_t n = 0;
  for (const auto& text : texts) {
    log.Debug(text);
    if (++n % 1000 == 0)
      for (auto* timer : timers) timer->Tick();
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("%.6f %ld\n", elapsed.count(), receiver.Stop());
  return 0;
}
