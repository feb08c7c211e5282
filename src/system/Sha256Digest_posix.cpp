#include <openssl/evp.h>

#include <algorithm>
#include <stdexcept>

#include "system/Sha256Digest.h"

namespace orvane {

struct TSha256Digest::TImpl {
  struct Free {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
  };
  std::unique_ptr<EVP_MD_CTX, Free> ctx{EVP_MD_CTX_new()};
};

TSha256Digest::TSha256Digest() : impl_(std::make_unique<TImpl>()) {
  if (!impl_->ctx || EVP_DigestInit_ex(impl_->ctx.get(), EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("SHA-256: cannot set up the digest");
}

TSha256Digest::~TSha256Digest() = default;

void TSha256Digest::Update(const unsigned char* data, std::size_t size) {
  if (EVP_DigestUpdate(impl_->ctx.get(), data, size) != 1)
    throw std::runtime_error("SHA-256: digest update failed");
}

std::array<unsigned char, 32> TSha256Digest::Final() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(impl_->ctx.get(), digest, &length) != 1 || length != 32)
    throw std::runtime_error("SHA-256: digest finalisation failed");
  std::array<unsigned char, 32> result{};
  std::copy(digest, digest + 32, result.begin());
  return result;
}

}  // namespace orvane
