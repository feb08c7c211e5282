#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>
#include <stdexcept>

#include "system/EcdsaSignature.h"

namespace orvane {
namespace {

template <typename T, void (*Free)(T*)>
struct OpenSSLDeleter {
  void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, OpenSSLDeleter<EVP_PKEY, EVP_PKEY_free>>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, OpenSSLDeleter<EVP_MD_CTX, EVP_MD_CTX_free>>;
using BioPtr = std::unique_ptr<BIO, OpenSSLDeleter<BIO, BIO_free_all>>;

// Asked for the pass phrase of an encrypted key: there is none to give, so
// reading fails instead of prompting on a terminal.
int NoPassPhrase(char*, int, int, void*) { return -1; }

bool IsP256(EVP_PKEY* key) {
  char group[64] = {};
  std::size_t length = 0;
  return EVP_PKEY_is_a(key, "EC") && EVP_PKEY_get_group_name(key, group, sizeof(group), &length) == 1 &&
         std::string_view(group, length) == "prime256v1";
}

}  // namespace

std::string VerifyEcdsaSignature(std::string_view publicKeyPem, std::string_view data,
                                 std::string_view signature) {
  std::string why;
  const std::optional<std::string> spki = P256PublicKeyFromPem(publicKeyPem, why);
  if (!spki) return why;
  if (!EcdsaSignatureFromDer(signature)) return kBadSignatureEncoding;

  const auto* der = reinterpret_cast<const unsigned char*>(spki->data());
  KeyPtr key(d2i_PUBKEY(nullptr, &der, static_cast<long>(spki->size())));
  if (!key) return "the public key's point is not on the P-256 curve";
  MdCtxPtr ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1)
    return "the signature check cannot be set up";
  const int verdict =
      EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                       reinterpret_cast<const unsigned char*>(data.data()), data.size());
  return verdict == 1 ? std::string() : std::string(kSignatureMismatch);
}

std::string SignEcdsa(std::string_view privateKeyPem, std::string_view data) {
  BioPtr bio(BIO_new_mem_buf(privateKeyPem.data(), static_cast<int>(privateKeyPem.size())));
  KeyPtr key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassPhrase, nullptr) : nullptr);
  if (!key) throw std::runtime_error("The private key is not an unencrypted PEM private key.");
  if (!IsP256(key.get())) throw std::runtime_error("The private key is not an ECDSA P-256 (prime256v1) key.");

  MdCtxPtr ctx(EVP_MD_CTX_new());
  std::size_t length = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
      EVP_DigestSign(ctx.get(), nullptr, &length, bytes, data.size()) != 1)
    throw std::runtime_error("The signature cannot be made.");
  std::string signature(length, '\0');
  if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, bytes,
                     data.size()) != 1)
    throw std::runtime_error("The signature cannot be made.");
  signature.resize(length);
  return signature;
}

}  // namespace orvane
