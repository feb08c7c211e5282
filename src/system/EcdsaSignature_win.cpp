// Verification through CNG's primitive provider (bcrypt), present since
// Vista: the public point goes in as a BCRYPT_ECCPUBLIC_BLOB, the signature
// as r || s, which CNG wants instead of the DER form.
#include <windows.h>
// windows.h first: bcrypt.h relies on its types.
#include <bcrypt.h>

#include <array>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

#include "system/EcdsaSignature.h"
#include "system/Sha256Digest.h"

namespace orvane {
namespace {

// ntstatus.h clashes with windows.h; this is the one status needed from it.
constexpr NTSTATUS kStatusInvalidSignature = static_cast<NTSTATUS>(0xC000A000L);

struct TEcdsaKey {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_KEY_HANDLE key = nullptr;
  ~TEcdsaKey() {
    if (key) BCryptDestroyKey(key);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

std::string StatusText(const char* what, NTSTATUS status) {
  return fmt::format("{} failed (NTSTATUS 0x{:08x})", what, static_cast<unsigned long>(status));
}

}  // namespace

std::string VerifyEcdsaSignature(std::string_view publicKeyPem, std::string_view data,
                                 std::string_view signature) {
  std::string why;
  const std::optional<std::string> spki = P256PublicKeyFromPem(publicKeyPem, why);
  if (!spki) return why;
  std::optional<std::array<unsigned char, 64>> rs = EcdsaSignatureFromDer(signature);
  if (!rs) return kBadSignatureEncoding;

  TEcdsaKey k;
  NTSTATUS status = BCryptOpenAlgorithmProvider(&k.algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
  if (!BCRYPT_SUCCESS(status)) return StatusText("BCryptOpenAlgorithmProvider", status);
  const std::array<unsigned char, 64> point = P256PublicPoint(*spki);
  std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + point.size());
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof(header));
  std::memcpy(blob.data() + sizeof(header), point.data(), point.size());
  status = BCryptImportKeyPair(k.algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &k.key, blob.data(),
                               static_cast<ULONG>(blob.size()), 0);
  if (!BCRYPT_SUCCESS(status))
    return "the public key cannot be imported: " + StatusText("BCryptImportKeyPair", status);

  std::array<unsigned char, 32> hash{};
  try {
    TSha256Digest digest;
    digest.Update(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    hash = digest.Final();
  } catch (const std::exception& e) {
    return e.what();
  }
  status = BCryptVerifySignature(k.key, nullptr, hash.data(), static_cast<ULONG>(hash.size()), rs->data(),
                                 static_cast<ULONG>(rs->size()), 0);
  if (BCRYPT_SUCCESS(status)) return {};
  if (status == kStatusInvalidSignature) return kSignatureMismatch;
  return StatusText("BCryptVerifySignature", status);
}

std::string SignEcdsa(std::string_view, std::string_view) {
  throw std::runtime_error(
      "Signing the option list is done on the maker's Linux machine: "
      "OrvaneSupport --SignConfig=<private key file> there, or "
      "openssl dgst -sha256 -sign <private key file> -out orvanesupport.json.sig orvanesupport.json");
}

}  // namespace orvane
