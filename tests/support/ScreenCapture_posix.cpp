#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "support/ScreenCapture.h"

namespace orvane::test {

DisplayLock::DisplayLock() {
  const char* display = std::getenv("DISPLAY");
  std::string name = display ? display : "";
  for (char& c : name)
    if (c == '/' || c == ':') c = '_';
  const std::string path =
      (std::filesystem::temp_directory_path() / ("orvane-display" + name + ".lock")).string();
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  flock(fd, LOCK_EX);
  handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);  // +1: 0 is a valid descriptor
}

DisplayLock::~DisplayLock() {
  // Closing the file releases the lock.
  if (handle_ != nullptr) close(static_cast<int>(reinterpret_cast<std::intptr_t>(handle_) - 1));
}

// Read back from the X server with xwd. Under GTK 3 a blit from the toolkit's
// screen device context returns what the first capture of the process saw,
// whatever the screen shows now.
std::filesystem::path CaptureScreenToFile(int x, int y, int width, int height,
                                          const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / "capture.png";
  const std::string command = "xwd -root -silent | convert xwd:- -crop " + std::to_string(width) + "x" +
                              std::to_string(height) + "+" + std::to_string(x) + "+" + std::to_string(y) +
                              " +repage png:'" + file.string() + "'";
  return std::system(command.c_str()) == 0 ? file : std::filesystem::path();
}

}  // namespace orvane::test
