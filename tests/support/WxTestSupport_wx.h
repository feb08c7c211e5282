// Helpers for tests that drive real windows (under Xvfb in CI).
#pragma once

#include <wx/image.h>
#include <wx/modalhook.h>
#include <wx/window.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/ScreenCapture.h"

namespace orvane::test {

// Runs fn once, about delayMs later, from whichever event loop runs then;
// a modal dialog's loop included, so a test can act inside ShowModal.
void RunAfter(int delayMs, std::function<void()> fn);

// Lets pending events, repaints and queued calls run.
void PumpEvents();

// Keeps letting events run for about ms milliseconds of real time.
void PumpEventsFor(int ms);

// Lets events run until done() holds, in steps of about 10 ms; gives up after
// the given number of steps and returns done()'s last answer.
bool PumpUntil(const std::function<bool()>& done, int steps = 1000);

// Answers every modal dialog at once instead of showing it (OK unless an
// answer is queued) and keeps the texts of message boxes.
class BoxAnswerer : public wxModalDialogHook {
 public:
  BoxAnswerer() { Register(); }
  ~BoxAnswerer() override { Unregister(); }
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  std::vector<std::string> texts;
  std::deque<int> answers;
  std::function<void()> onEnter;  // runs while the box would be open

 protected:
  int Enter(wxDialog* dialog) override;
  void Exit(wxDialog*) override {}
};

// The window as it is on screen, frame included: repaints it first, then
// copies its rectangle from the screen.
wxImage CaptureWindow(wxWindow* window);

// A rectangle of the screen as it is now.
wxImage CaptureScreen(const wxRect& rect);

// CaptureWindow saved as a PNG file (as BMP beside the given name where the
// toolkit has no PNG support); false when the image could not be made or
// written.
bool SaveScreenshot(wxWindow* window, const std::filesystem::path& file);

// Presses and releases a key through the X server, with the pointer moved
// into the window so that the key reaches it.
void PressKey(wxWindow* window, int keyCode);

}  // namespace orvane::test
