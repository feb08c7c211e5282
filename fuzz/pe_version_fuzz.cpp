// Feeds arbitrary bytes to the PE version-resource reader: it must neither
// read outside the buffer nor loop, whatever the headers claim.
#include <cstddef>
#include <cstdint>

#include "system/FileVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const orvane::TFileVersionQuery query = orvane::ReadPeFileVersion(data, size);
  // At most one kind of failure, and a failed query carries no version.
  const orvane::TFileVersion& v = query.version;
  const bool hasVersion = v.major != 0 || v.minor != 0 || v.release != 0 || v.build != 0;
  if (query.error != 0 && query.fixedInfoError != 0) __builtin_trap();
  if (!query.Ok() && hasVersion) __builtin_trap();
  return 0;
}
