// SHA-256 through CNG's primitive provider (bcrypt), present since Vista.
#include <windows.h>
// windows.h first: bcrypt.h relies on its types.
#include <bcrypt.h>

#include <algorithm>
#include <stdexcept>

#include <fmt/format.h>

#include "system/Sha256Digest.h"

namespace orvane {
namespace {

void Check(NTSTATUS status, const char* what) {
  if (!BCRYPT_SUCCESS(status)) {
    throw std::runtime_error(
        fmt::format("SHA-256: {} failed (NTSTATUS 0x{:08x})", what, static_cast<unsigned long>(status)));
  }
}

}  // namespace

struct TSha256Digest::TImpl {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~TImpl() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

TSha256Digest::TSha256Digest() : impl_(std::make_unique<TImpl>()) {
  Check(BCryptOpenAlgorithmProvider(&impl_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0),
        "BCryptOpenAlgorithmProvider");
  // The hash object lives in memory CNG manages itself (no buffer passed).
  Check(BCryptCreateHash(impl_->algorithm, &impl_->hash, nullptr, 0, nullptr, 0, 0), "BCryptCreateHash");
}

TSha256Digest::~TSha256Digest() = default;

void TSha256Digest::Update(const unsigned char* data, std::size_t size) {
  // BCryptHashData takes a 32-bit count; the reader's blocks are far smaller,
  // but a caller's buffer need not be.
  while (size > 0) {
    const ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 30));
    Check(BCryptHashData(impl_->hash, const_cast<PUCHAR>(data), chunk, 0), "BCryptHashData");
    data += chunk;
    size -= chunk;
  }
}

std::array<unsigned char, 32> TSha256Digest::Final() {
  std::array<unsigned char, 32> result{};
  Check(BCryptFinishHash(impl_->hash, result.data(), static_cast<ULONG>(result.size()), 0),
        "BCryptFinishHash");
  return result;
}

}  // namespace orvane
