// A SHA-256 digest fed block by block: OpenSSL's EVP on POSIX
// (Sha256Digest_posix.cpp), the system's CNG provider on Windows
// (Sha256Digest_win.cpp), so that the Windows program ships no crypto library
// of its own.
#pragma once

#include <array>
#include <cstddef>
#include <memory>

namespace orvane {

class TSha256Digest {
 public:
  // Raises std::runtime_error when the digest cannot be set up.
  TSha256Digest();
  ~TSha256Digest();
  TSha256Digest(const TSha256Digest&) = delete;
  TSha256Digest& operator=(const TSha256Digest&) = delete;

  // Raises std::runtime_error when the bytes cannot be hashed.
  void Update(const unsigned char* data, std::size_t size);
  // The digest of everything fed so far; call once.
  std::array<unsigned char, 32> Final();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace orvane
