// The display as the window tests see it, without the toolkit: a lock that
// keeps test programs from moving each other's pointer, and a copy of a
// screen rectangle written to an image file.
#pragma once

#include <filesystem>

namespace orvane::test {

// Holds the display for one test process: tests that move the pointer or
// press keys take it, so that test programs run side by side cannot steal
// each other's input. Blocks until the display is free.
class DisplayLock {
 public:
  DisplayLock();
  ~DisplayLock();
  DisplayLock(const DisplayLock&) = delete;
  DisplayLock& operator=(const DisplayLock&) = delete;

 private:
  void* handle_ = nullptr;  // an open lock file (POSIX) or a mutex (Windows)
};

// Copies the rectangle of the screen as it is now into an image file in
// folder: a PNG read back from the X server on POSIX, a BMP through GDI on
// Windows. Returns the file, or an empty path when no picture could be taken.
std::filesystem::path CaptureScreenToFile(int x, int y, int width, int height,
                                          const std::filesystem::path& folder);

}  // namespace orvane::test
