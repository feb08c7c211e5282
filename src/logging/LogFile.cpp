#include "logging/LogFile.h"

namespace orvane {

std::size_t WholeLinesLength(const std::string& bytes, std::size_t written) {
  if (written == 0) return 0;
  const auto newline = bytes.rfind('\n', written - 1);
  return newline == std::string::npos ? 0 : newline + 1;
}

}  // namespace orvane
