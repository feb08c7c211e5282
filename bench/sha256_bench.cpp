// Hashes the file named on the command line and prints its SHA-256 text, so
// that it can be timed against a standard tool.
#include <cstdio>
#include <exception>

#include "system/SHA256.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  try {
    std::printf("%s  %s\n", orvane::GetFileSHA256(argv[1]).c_str(), argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
