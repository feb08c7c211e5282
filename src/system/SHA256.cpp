#include "system/SHA256.h"

#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

namespace orvane {

namespace {

struct EvpMdCtxFree {
  void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

}  // namespace

std::string GetFileSHA256(const std::string& fileName) {
  // One context per call; the unique_ptr releases it on every path out.
  const std::unique_ptr<EVP_MD_CTX, EvpMdCtxFree> ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("SHA-256: cannot set up the digest");

  ReadFileBlocksForHashing(fileName, [&ctx](const unsigned char* data, std::size_t size) {
    if (EVP_DigestUpdate(ctx.get(), data, size) != 1)
      throw std::runtime_error("SHA-256: digest update failed");
  });

  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(ctx.get(), digest, &length) != 1 || length != 32)
    throw std::runtime_error("SHA-256: digest finalisation failed");

  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(std::size_t{2} * length, '\0');
  for (std::size_t i = 0; i < length; ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 0x0F];
  }
  return text;
}

}  // namespace orvane
