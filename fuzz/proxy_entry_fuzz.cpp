// Feeds arbitrary text to the proxy entry parser. It either raises one of its
// documented messages (which never show the password) or returns parts cut
// from the entry: each part is a piece of the input, host and port are never
// empty, no part reaches past the
// authority's delimiters, and the parts written back as an entry read the same.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "net/DownloadFile.h"
#include "net/PasswordMask.h"

namespace {

std::string ToEntry(const orvane::TManualProxyEntry& p) {
  std::string entry;
  if (!p.User.empty()) entry += p.User + (p.Password.empty() ? "" : ":" + p.Password) + "@";
  const bool bracket = p.Host.find(':') != std::string::npos || p.Host.starts_with('[');
  entry += bracket ? "[" + p.Host + "]" : p.Host;
  return entry + ":" + p.Port;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  const std::string entry(reinterpret_cast<const char*>(data), size);
  TManualProxyEntry parts;
  try {
    parts = ParseManualProxyEntry(entry);
  } catch (const std::runtime_error& e) {
    // what() is a C string: an entry with a NUL shows up to it.
    const std::string message = e.what();
    const std::string invalid = "Invalid proxy address: " + MaskUrlPassword(entry);
    if (message != kNoProxyPortMessage && message != kNoProxyHostMessage && message != invalid.c_str())
      __builtin_trap();
    return 0;
  }

  if (parts.Port.empty() || parts.Host.empty()) __builtin_trap();
  for (const std::string* part : {&parts.Host, &parts.Port, &parts.User, &parts.Password})
    if (entry.find(*part) == std::string::npos || part->find('/') != std::string::npos) __builtin_trap();
  if (parts.Host.find('@') != std::string::npos || parts.Port.find('@') != std::string::npos ||
      parts.User.find(':') != std::string::npos)
    __builtin_trap();
  if (parts.User.empty() && !parts.Password.empty()) __builtin_trap();

  const TManualProxyEntry again = ParseManualProxyEntry(ToEntry(parts));
  if (again.Host != parts.Host || again.Port != parts.Port || again.User != parts.User ||
      again.Password != parts.Password)
    __builtin_trap();
  return 0;
}
