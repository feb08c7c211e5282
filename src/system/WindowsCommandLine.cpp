#include "system/WindowsCommandLine.h"

namespace orvane {

std::vector<std::string> SplitWindowsCommandLine(const std::string& parameters) {
  std::vector<std::string> arguments;
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  size_t i = 0;
  const size_t n = parameters.size();
  for (;;) {
    while (i < n && isBlank(parameters[i])) ++i;
    if (i == n) break;

    std::string argument;
    bool quoted = false;
    while (i < n && (quoted || !isBlank(parameters[i]))) {
      size_t backslashes = 0;
      while (i < n && parameters[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < n && parameters[i] == '"') {
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          argument += '"';
        } else if (quoted && i + 1 < n && parameters[i + 1] == '"') {
          argument += '"';
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        argument.append(backslashes, '\\');
        if (i < n && (quoted || !isBlank(parameters[i]))) argument += parameters[i++];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

}  // namespace orvane
