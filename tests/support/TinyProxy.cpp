#include "support/TinyProxy.h"

#include <sstream>

namespace orvane::test {

std::size_t TinyProxy::RequestCount() const {
  std::istringstream log(Log());
  std::size_t count = 0;
  for (std::string line; std::getline(log, line);) {
    if (line.find("Request (file descriptor") != std::string::npos) ++count;
  }
  return count;
}

}  // namespace orvane::test
