#include <cerrno>
#include <cstring>
#include <string>

#include "system/OSError.h"

namespace orvane {

int GetLastOSError() { return errno; }

std::string SysErrorMessage(int code) {
  char buf[256];
  // GNU strerror_r: returns either buf or a static text.
  const char* text = strerror_r(code, buf, sizeof buf);
  return (text != nullptr && *text != '\0') ? std::string(text) : "Unknown error " + std::to_string(code);
}

}  // namespace orvane
