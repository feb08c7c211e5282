// The running process's argument list as the operating system holds it.
#pragma once

#include <string>
#include <vector>

namespace orvane {

// Argument 0 first, each as UTF-8; empty when the list cannot be read.
std::vector<std::string> GetSystemArguments();

}  // namespace orvane
