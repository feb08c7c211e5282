// Fixed file version of an executable.
//
// ReadPeFileVersion is a portable reader of the version resource in a Windows
// executable (PE32 and PE32+). It reads only the few structures it needs,
// checks every offset against the data it has, and caps what it reads, so any
// file a user may have downloaded is safe to hand to it.
//
// Error codes of the portable reader (errno values; on Windows the system's
// version API is used instead and the codes are its last-error codes):
//   the error of open/fstat/pread  the file cannot be read (ENOENT, EACCES, EIO)
//   EISDIR    the name is a folder
//   ENOEXEC   not a PE image, or its headers, sections or resource tree point
//             outside the file
//   ENODATA   a valid image without a version resource; also the code for a
//             version block that carries no fixed file information
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvane {

struct TFileVersion {
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint16_t release = 0;
  std::uint16_t build = 0;
};

// What a version query found. error != 0: no version block could be read.
// Otherwise fixedInfoError != 0 when the block has no fixed file information;
// version is valid only when both are 0.
struct TFileVersionQuery {
  int error = 0;
  int fixedInfoError = 0;
  TFileVersion version;

  bool Ok() const { return error == 0 && fixedInfoError == 0; }
};

// Random access to the bytes of an image.
class TPeSource {
 public:
  virtual ~TPeSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Fills out with n bytes from offset (inside Size()); returns 0 or an
  // error code.
  virtual int ReadAt(std::uint64_t offset, void* out, std::size_t n) = 0;
};

TFileVersionQuery ReadPeFileVersion(TPeSource& source);
TFileVersionQuery ReadPeFileVersion(const void* data, std::size_t size);

// The version of a file on disk; an empty name means the running program.
TFileVersionQuery QueryFileVersion(const std::string& file);

}  // namespace orvane
