// Writes the seed corpus of pe_version_fuzz with the tests' PE builder:
// fuzz/make_pe_version_corpus.sh builds and runs it.
#include <cstdio>
#include <filesystem>

#include "support/PeBuilder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  using orvane::test::WritePeFile;
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  WritePeFile(dir / "pe32.exe", {.fileVersion = {15, 1, 2, 3}});
  WritePeFile(dir / "pe32plus.exe", {.fileVersion = {1, 2, 3, 4}, .pe32Plus = true});
  WritePeFile(dir / "no-fixed-info.exe", {.fixedInfo = false});
  WritePeFile(dir / "no-resource.exe", {.versionResource = false});
  return 0;
}
