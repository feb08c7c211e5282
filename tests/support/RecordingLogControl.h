// A log text control that keeps its lines in a list, newest first, as a
// window's log box would show them; it can also play a control that is gone
// or one that fails.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "logging/LogTextControl.h"

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

}  // namespace orvane::test
