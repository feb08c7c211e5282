#include <fstream>
#include <iterator>

#include "cmdline/SystemArguments.h"

namespace orvane {

// /proc/self/cmdline holds the arguments exactly as main() receives them,
// each ended by a NUL byte, and can be read before main() runs.
std::vector<std::string> GetSystemArguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\0', start);
    if (end == std::string::npos) end = data.size();
    args.emplace_back(data, start, end - start);
    start = end + 1;
  }
  return args;
}

}  // namespace orvane
