// Builds small but complete Windows executables (PE32 or PE32+) that carry a
// version resource, for tests that need a real file version to read: a .text
// section whose entry point just returns, and a .rsrc section holding
// VS_VERSIONINFO with its fixed file information, a StringFileInfo table and
// a VarFileInfo translation. The file and the product version differ, so a
// reader that takes the wrong one is caught.
//
// Self-contained (no test framework), so fuzz/make_pe_version_corpus.sh can
// build it into the seed generator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace orvane::test {

struct PeVersion {
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint16_t release = 0;
  std::uint16_t build = 0;
};

struct PeImageOptions {
  PeVersion fileVersion{1, 0, 0, 0};
  PeVersion productVersion{9, 8, 7, 6};
  bool pe32Plus = false;
  bool versionResource = true;  // false: no .rsrc section at all
  bool fixedInfo = true;        // false: a version block without VS_FIXEDFILEINFO
};

// The image and where its parts sit, for tests that damage them.
struct PeImage {
  std::string bytes;
  std::size_t peHeaderOffset = 0;        // "PE\0\0"
  std::size_t optionalHeaderOffset = 0;  // the optional header's magic
  std::size_t sectionTableOffset = 0;
  std::size_t resourceOffset = 0;      // root of the resource tree; 0 without one
  std::size_t versionBlockOffset = 0;  // VS_VERSIONINFO; 0 without one
};

PeImage BuildPeImage(const PeImageOptions& options = {});
void WritePeFile(const std::filesystem::path& file, const PeImageOptions& options = {});

}  // namespace orvane::test
