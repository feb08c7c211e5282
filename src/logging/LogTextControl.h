// The multi-line text control the logger can mirror its lines into.
//
// The logger knows no toolkit: the window binds a real control to this
// interface. The binding must not outlive its control blindly: IsAlive()
// reports whether the control still exists and still belongs to an owner
// window, and the logger skips the control when it does not.
#pragma once

#include <string>

namespace orvane {

class ILogTextControl {
 public:
  virtual ~ILogTextControl() = default;

  // The control exists and still belongs to an owner window.
  virtual bool IsAlive() const = 0;
  virtual void InsertFirstLine(const std::string& line) = 0;
  virtual int LineCount() const = 0;
  // Removes the line at the given position, counted from 0.
  virtual void DeleteLine(int index) = 0;
};

}  // namespace orvane
