// Feeds arbitrary bytes to the signature checks, as a downloaded signature
// file and as a public key: the check never crashes and never accepts them
// (a valid signature of this list under the fixed key cannot be guessed). A
// DER form the strict reader accepts turns into r || s and back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "system/EcdsaSignature.h"

namespace {

const std::string kKey =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE6/TFrOACLHzzTzldvuXIzHgDHX5U\n"
    "GcI3m5ZGZS9bd9rdErHYqaMvU45d8qXwDAMvRLYYiVRtNNfgzYSmDZpGVw==\n"
    "-----END PUBLIC KEY-----\n";

std::string Integer(const unsigned char* half) {
  std::size_t first = 0;
  while (first < 31 && half[first] == 0) ++first;
  std::string value(reinterpret_cast<const char*>(half + first), 32 - first);
  if (static_cast<unsigned char>(value[0]) & 0x80) value.insert(0, 1, '\0');
  return std::string{'\x02', static_cast<char>(value.size())} + value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (VerifyEcdsaSignature(kKey, "list", bytes).empty()) std::abort();
  if (VerifyEcdsaSignature(bytes, "list", bytes).empty()) std::abort();
  std::string why;
  P256PublicKeyFromPem(bytes, why);
  if (const auto rs = EcdsaSignatureFromDer(bytes)) {
    const std::string body = Integer(rs->data()) + Integer(rs->data() + 32);
    if (std::string{'\x30', static_cast<char>(body.size())} + body != bytes) std::abort();
  }
  return 0;
}
