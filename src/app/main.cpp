// Placeholder entry point until the assistant window exists.
#include <cstdio>

#include "OrvaneBuildConfig.h"

int main() {
  std::printf("OrvaneSupport %s\n", ORVANE_VERSION);
  return 0;
}
