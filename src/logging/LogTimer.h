// Timers for the logger's periodic work (rotation check, watched lists).
//
// The logger runs on the GUI thread and its timers must fire there, between
// messages, never while a line is being written. So the logger does not own a
// clock thread: the program hands it a factory that binds each timer to its
// event loop, and tests hand it timers they tick by hand.
#pragma once

#include <functional>
#include <memory>

namespace orvane {

class ILogTimer {
 public:
  virtual ~ILogTimer() = default;

  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual bool IsRunning() const = 0;
};

// Creates a stopped timer that, once started, calls onTick every intervalMs
// milliseconds on the logger's thread until it is stopped or destroyed.
using TLogTimerFactory =
    std::function<std::unique_ptr<ILogTimer>(int intervalMs, std::function<void()> onTick)>;

}  // namespace orvane
