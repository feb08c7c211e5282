// The portable PE reader's failure codes (errno values) and the POSIX
// variant's handling of files that cannot be read.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "support/PeBuilder.h"
#include "support/TestSupport.h"
#include "system/FileVersion.h"
#include "system/OSFunctions.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

using test::BuildPeImage;
using test::PeImage;
using test::PeImageOptions;
using test::TempDir;
using test::WriteFileBytes;

void Put32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string Failure(int code) {
  return "GetFileVersionInfo failed: (" + std::to_string(code) + ") " + std::strerror(code);
}

// Damaged or foreign files give the failure text and leave the numbers alone.
TEST(FileVersion, BrokenImagesFailWithTheirCode) {
  const PeImage good = BuildPeImage({.fileVersion = {1, 2, 3, 4}});
  const PeImage good64 = BuildPeImage({.fileVersion = {1, 2, 3, 4}, .pe32Plus = true});
  const std::size_t res = good.resourceOffset;
  const std::size_t dataDirectory = good.optionalHeaderOffset + 96 + 16;  // the resource table entry
  struct Case {
    const char* what;
    int code;
    std::function<std::string()> bytes;
  } cases[] = {
      {"empty file", ENOEXEC, [] { return std::string(); }},
      {"text file", ENOEXEC, [] { return std::string("MZ is not enough\n"); }},
      {"cut inside the headers", ENOEXEC, [&] { return good.bytes.substr(0, good.sectionTableOffset + 20); }},
      {"cut inside the resources", ENOEXEC, [&] { return good.bytes.substr(0, res + 0x20); }},
      {"cut inside the version block", ENOEXEC,
       [&] { return good64.bytes.substr(0, good64.versionBlockOffset + 8); }},
      {"PE header beyond the end", ENOEXEC,
       [&] {
         std::string b = good.bytes;
         Put32(b, 0x3C, 0xFFFFFFF0);
         return b;
       }},
      {"unknown optional header", ENOEXEC,
       [&] {
         std::string b = good.bytes;
         b[good.optionalHeaderOffset] = 0x07;
         return b;
       }},
      {"65535 sections", ENOEXEC,
       [&] {
         std::string b = good.bytes;
         b[good.peHeaderOffset + 6] = b[good.peHeaderOffset + 7] = '\xFF';
         return b;
       }},
      {"resources outside every section", ENOEXEC,
       [&] {
         std::string b = good.bytes;
         Put32(b, dataDirectory, 0x7FFFFFF0);
         return b;
       }},
      {"directory claiming 131070 entries", ENOEXEC,
       [&] {
         std::string b = good.bytes;
         Put32(b, res + 12, 0xFFFFFFFF);
         return b;
       }},
      {"directory pointing at itself", ENOEXEC,
       [&] {
         std::string b = good.bytes;
         Put32(b, res + 0x18 + 20, 0x80000018);
         return b;
       }},
      {"data beyond the section", ENOEXEC,
       [&] {
         std::string b = good.bytes;
         Put32(b, res + 0x48 + 4, 0xFFFFFFFF);
         return b;
       }},
      {"data address wrapping around", ENOEXEC,
       [&] {
         std::string b = good.bytes;
         Put32(b, res + 0x48, 0xFFFFFFF0);
         return b;
       }},
      {"no resources", ENODATA, [] { return BuildPeImage({.versionResource = false}).bytes; }},
      {"no version resource", ENODATA,
       [&] {
         std::string b = good.bytes;
         Put32(b, res + 16, 3);  // RT_ICON instead of RT_VERSION
         return b;
       }},
      {"version block with another key", ENODATA,
       [&] {
         std::string b = good.bytes;
         b[good.versionBlockOffset + 6] = 'X';
         return b;
       }},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto file = (dir / "broken.exe").string();
    WriteFileBytes(file, c.bytes());
    EXPECT_EQ(GetFileVersionString(file, true, "V", false), Failure(c.code));
    int major = 7, minor = 7, release = 7, build = 7;
    EXPECT_EQ(GetFileVersionNumbers(file, major, minor, release, build), Failure(c.code));
    EXPECT_EQ((std::vector<int>{major, minor, release, build}), (std::vector<int>{7, 7, 7, 7}));
  }
}

TEST(FileVersion, FilesThatCannotBeRead) {
  TempDir dir;
  const auto fifo = dir / "pipe.exe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(GetFileVersionString((dir / "missing.exe").string(), true, "V", false),
            "GetFileVersionInfo failed: (2) No such file or directory");
  EXPECT_EQ(GetFileVersionString(dir.path().string(), true, "V", false), Failure(EISDIR));
  // A FIFO without a writer must not block the caller.
  EXPECT_EQ(GetFileVersionString(fifo.string(), true, "V", false), Failure(ENOEXEC));
}

// A version block without fixed information: no text, but a failure for the
// numbers.
TEST(FileVersion, BlockWithoutFixedInformation) {
  TempDir dir;
  PeImage badSignature = BuildPeImage();
  badSignature.bytes[badSignature.versionBlockOffset + 40] = 0;
  const std::string images[] = {BuildPeImage({.fixedInfo = false}).bytes, badSignature.bytes};
  for (const std::string& bytes : images) {
    const auto file = (dir / "nofixed.exe").string();
    WriteFileBytes(file, bytes);
    EXPECT_EQ(GetFileVersionString(file, true, "V", false), "");
    int major = 7, minor = 7, release = 7, build = 7;
    EXPECT_EQ(GetFileVersionNumbers(file, major, minor, release, build), Failure(ENODATA));
    EXPECT_EQ(major + minor + release + build, 28);
  }
}

TEST(FileVersion, SystemMessagesAreTheCRuntimeTexts) {
  EXPECT_EQ(SystemErrorMessage(ENOENT), "No such file or directory");
}

}  // namespace
}  // namespace orvane
