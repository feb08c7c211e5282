// Feeds arbitrary bytes to the PE version-resource reader: it must neither
// read outside the buffer nor loop, whatever the headers claim.
#include <cstddef>
#include <cstdint>

#include "system/FileVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const orvane::TFileVersionQuery query = orvane::ReadPeFileVersion(data, size);
  // Success and failure exclude each other.
  if (query.Ok() && (query.error != 0 || query.fixedInfoError != 0)) __builtin_trap();
  return 0;
}
