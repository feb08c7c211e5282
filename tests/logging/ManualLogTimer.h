// Logger timers that tests tick by hand instead of waiting for an event loop.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "logging/LogTimer.h"

namespace orvane::test {

class TManualLogTimer : public ILogTimer {
 public:
  TManualLogTimer(int intervalMs, std::function<void()> onTick)
      : interval_(intervalMs), onTick_(std::move(onTick)) {}

  void Start() override { running_ = true; }
  void Stop() override { running_ = false; }
  bool IsRunning() const override { return running_; }

  int Interval() const { return interval_; }
  // One elapsed interval: the handler runs only while the timer runs.
  void Tick() {
    if (running_) onTick_();
  }

 private:
  int interval_;
  std::function<void()> onTick_;
  bool running_ = false;
};

// Hands out manual timers and keeps track of them for the test. The timers
// belong to whoever asked for them; Timers() is valid while they live.
class TManualLogTimerFactory {
 public:
  TLogTimerFactory Factory() {
    return [this](int intervalMs, std::function<void()> onTick) -> std::unique_ptr<ILogTimer> {
      auto timer = std::make_unique<TManualLogTimer>(intervalMs, std::move(onTick));
      timers_.push_back(timer.get());
      return timer;
    };
  }
  const std::vector<TManualLogTimer*>& Timers() const { return timers_; }

 private:
  std::vector<TManualLogTimer*> timers_;
};

}  // namespace orvane::test
