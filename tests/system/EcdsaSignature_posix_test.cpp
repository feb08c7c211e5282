// Signing with keys the test makes with OpenSSL, in the PEM forms the openssl
// command line writes; the fixed signatures (EcdsaSignature_test.cpp) cover
// the command line's own output.
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "system/EcdsaSignature.h"

namespace orvane {
namespace {

using testing::HasSubstr;
using testing::IsEmpty;

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;

enum class PemForm { Traditional, Pkcs8, Encrypted, Public };

std::string Pem(EVP_PKEY* key, PemForm form) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
  char passPhrase[] = "secret";
  switch (form) {
    case PemForm::Traditional:
      PEM_write_bio_PrivateKey_traditional(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
      break;
    case PemForm::Pkcs8:
      PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
      break;
    case PemForm::Encrypted:
      PEM_write_bio_PrivateKey(bio.get(), key, EVP_aes_256_cbc(), nullptr, 0, nullptr, passPhrase);
      break;
    case PemForm::Public:
      PEM_write_bio_PUBKEY(bio.get(), key);
      break;
  }
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

TEST(EcdsaSignaturePosixTest, SignsWhatVerifies) {
  const KeyPtr key(EVP_EC_gen("P-256"));
  const KeyPtr other(EVP_EC_gen("P-256"));
  ASSERT_TRUE(key && other);
  const std::string publicPem = Pem(key.get(), PemForm::Public);
  EXPECT_THAT(Pem(key.get(), PemForm::Traditional), HasSubstr("BEGIN EC PRIVATE KEY"));
  for (PemForm form : {PemForm::Traditional, PemForm::Pkcs8}) {
    const std::string signature = SignEcdsa(Pem(key.get(), form), "list bytes");
    EXPECT_TRUE(EcdsaSignatureFromDer(signature));
    EXPECT_THAT(VerifyEcdsaSignature(publicPem, "list bytes", signature), IsEmpty());
    EXPECT_EQ(VerifyEcdsaSignature(publicPem, "list bytez", signature), kSignatureMismatch);
    EXPECT_EQ(VerifyEcdsaSignature(Pem(other.get(), PemForm::Public), "list bytes", signature),
              kSignatureMismatch);
  }
}

TEST(EcdsaSignaturePosixTest, RefusesKeysItCannotSignWith) {
  const KeyPtr p256(EVP_EC_gen("P-256"));
  const KeyPtr p384(EVP_EC_gen("P-384"));
  const KeyPtr rsa(EVP_RSA_gen(2048));
  struct Case {
    const char* name;
    std::string pem;
    const char* message;
  };
  // An encrypted key fails at once instead of asking for a pass phrase.
  for (const Case& c : {Case{"encrypted", Pem(p256.get(), PemForm::Encrypted), "not an unencrypted PEM"},
                        Case{"public key only", Pem(p256.get(), PemForm::Public), "not an unencrypted PEM"},
                        Case{"P-384", Pem(p384.get(), PemForm::Pkcs8), "not an ECDSA P-256"},
                        Case{"RSA", Pem(rsa.get(), PemForm::Pkcs8), "not an ECDSA P-256"}}) {
    SCOPED_TRACE(c.name);
    try {
      SignEcdsa(c.pem, "list bytes");
      ADD_FAILURE() << "signed";
    } catch (const std::runtime_error& e) {
      EXPECT_THAT(e.what(), HasSubstr(c.message));
    }
  }
}

}  // namespace
}  // namespace orvane
