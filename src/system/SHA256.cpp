#include "system/SHA256.h"

#include "system/Sha256Digest.h"

namespace orvane {

std::string GetFileSHA256(const std::string& fileName) {
  return FileBlocksSHA256(
      [&fileName](const FileBlockSink& sink) { ReadFileBlocksForHashing(fileName, sink); });
}

std::string FileBlocksSHA256(const std::function<void(const FileBlockSink&)>& read) {
  TSha256Digest digest;
  read([&digest](const unsigned char* data, std::size_t size) { digest.Update(data, size); });
  const auto bytes = digest.Final();

  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(bytes.size() * 2, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text[2 * i] = kHex[bytes[i] >> 4];
    text[2 * i + 1] = kHex[bytes[i] & 0x0F];
  }
  return text;
}

}  // namespace orvane
