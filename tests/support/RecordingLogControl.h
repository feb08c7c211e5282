// A log text control that keeps its lines in a list, newest first, as a
// window's log box would show them; it can also play a control that is gone
// or one that fails. And a logger writing into one, installed as Logger.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "logging/LogTextControl.h"
#include "logging/Logging.h"

namespace orvane::test {

class RecordingLogControl : public ILogTextControl {
 public:
  bool IsAlive() const override { return alive; }
  void InsertFirstLine(const std::string& line) override {
    if (fail) throw std::runtime_error("control gone");
    lines.insert(lines.begin(), line);
  }
  int LineCount() const override { return static_cast<int>(lines.size()); }
  void DeleteLine(int index) override { lines.erase(lines.begin() + index); }

  std::vector<std::string> lines;
  bool alive = true;
  bool fail = false;
};

// A logger that writes into a RecordingLogControl and serves as the global
// Logger for the life of the object.
class ScopedRecordingLogger {
 public:
  explicit ScopedRecordingLogger(TLogSettings settings, const std::string& moduleName = "")
      : control(std::make_shared<RecordingLogControl>()), logger_(control, moduleName, settings) {
    Logger = &logger_;
  }
  ~ScopedRecordingLogger() { Logger = nullptr; }
  ScopedRecordingLogger(const ScopedRecordingLogger&) = delete;
  ScopedRecordingLogger& operator=(const ScopedRecordingLogger&) = delete;

  const std::shared_ptr<RecordingLogControl> control;

 private:
  TLogging logger_;
};

}  // namespace orvane::test
