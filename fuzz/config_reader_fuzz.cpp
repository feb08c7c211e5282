// Feeds arbitrary bytes to the configuration file reader. Besides "no crash,
// no hang, only the documented error", every configuration it accepts must
// survive a write and a second read unchanged, and the written text must be
// ASCII without control characters (DEL is written as it is).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/ConfigFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  std::optional<TRemoteSupportConfig> config;
  try {
    config = ReadConfigFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const EConvertError&) {
    return 0;
  }
  if (!config) return 0;

  const std::string text = ConfigToJsonText(*config);
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7F) __builtin_trap();
  if (ReadConfigFromBytes(text + "\r\n") != config) __builtin_trap();
  return 0;
}
