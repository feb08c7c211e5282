#include "system/EcdsaSignature.h"

#include <algorithm>
#include <cstddef>

namespace orvane {
namespace {

// SEQUENCE { SEQUENCE { OID ecPublicKey, OID prime256v1 }, BIT STRING (no
// unused bits) holding an uncompressed point (0x04) }: everything of a P-256
// SubjectPublicKeyInfo but the 64 bytes of X and Y.
constexpr unsigned char kP256SpkiPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                             0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                             0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};
constexpr std::size_t kP256SpkiSize = sizeof(kP256SpkiPrefix) + 64;

constexpr std::string_view kPemBegin = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view kPemEnd = "-----END PUBLIC KEY-----";

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Strict base64 with "=" padding; blanks and line breaks between characters
// are skipped.
std::optional<std::string> DecodeBase64(std::string_view text) {
  std::string out;
  unsigned buffer = 0;
  int bits = 0;
  int padding = 0;
  std::size_t symbols = 0;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    ++symbols;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = Base64Value(c);
    if (value < 0 || padding > 0) return std::nullopt;
    buffer = (buffer << 6) | static_cast<unsigned>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
    }
  }
  // The padding must fill exactly the last group, and the bits it leaves
  // over must be zero.
  const bool paddingFits =
      (bits == 0 && padding == 0) || (bits == 2 && padding == 1) || (bits == 4 && padding == 2);
  if (symbols % 4 != 0 || !paddingFits || (buffer & ((1u << bits) - 1)) != 0) return std::nullopt;
  return out;
}

// One DER INTEGER at data[pos], which must be positive, minimally encoded
// and fit 32 bytes; written right-aligned into out.
bool ReadInteger(std::string_view data, std::size_t& pos, unsigned char* out) {
  if (pos + 2 > data.size() || static_cast<unsigned char>(data[pos]) != 0x02) return false;
  const std::size_t length = static_cast<unsigned char>(data[pos + 1]);
  pos += 2;
  if (length == 0 || length > 33 || pos + length > data.size()) return false;
  std::string_view value = data.substr(pos, length);
  pos += length;
  const auto first = static_cast<unsigned char>(value[0]);
  if (first & 0x80) return false;  // negative
  if (first == 0 && length > 1) {
    if (!(static_cast<unsigned char>(value[1]) & 0x80)) return false;  // not minimal
    value.remove_prefix(1);
  }
  if (value.size() > 32) return false;
  if (std::all_of(value.begin(), value.end(), [](char c) { return c == 0; })) return false;
  std::fill(out, out + 32, 0);
  std::copy(value.begin(), value.end(), out + (32 - value.size()));
  return true;
}

}  // namespace

std::optional<std::string> P256PublicKeyFromPem(std::string_view pem, std::string& why) {
  const std::size_t begin = pem.find(kPemBegin);
  const std::size_t end = begin == std::string_view::npos ? begin : pem.find(kPemEnd, begin);
  if (end == std::string_view::npos) {
    why = "the public key is not a PEM \"PUBLIC KEY\" block";
    return std::nullopt;
  }
  const std::size_t body = begin + kPemBegin.size();
  std::optional<std::string> der = DecodeBase64(pem.substr(body, end - body));
  if (!der) {
    why = "the public key's PEM block is not valid base64";
    return std::nullopt;
  }
  if (der->size() != kP256SpkiSize ||
      !std::equal(std::begin(kP256SpkiPrefix), std::end(kP256SpkiPrefix), der->begin(),
                  [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); })) {
    why = "the public key is not an uncompressed ECDSA P-256 (prime256v1) key";
    return std::nullopt;
  }
  return der;
}

std::array<unsigned char, 64> P256PublicPoint(std::string_view subjectPublicKeyInfo) {
  std::array<unsigned char, 64> point{};
  const std::string_view xy = subjectPublicKeyInfo.substr(sizeof(kP256SpkiPrefix), 64);
  std::copy(xy.begin(), xy.end(), point.begin());
  return point;
}

std::optional<std::array<unsigned char, 64>> EcdsaSignatureFromDer(std::string_view der) {
  // Two INTEGERs of at most 33 bytes each keep the SEQUENCE below 128 bytes,
  // so its length has the one-byte form.
  if (der.size() < 2 || static_cast<unsigned char>(der[0]) != 0x30) return std::nullopt;
  const std::size_t length = static_cast<unsigned char>(der[1]);
  if (length >= 0x80 || length + 2 != der.size()) return std::nullopt;
  std::array<unsigned char, 64> rs{};
  std::size_t pos = 2;
  if (!ReadInteger(der, pos, rs.data()) || !ReadInteger(der, pos, rs.data() + 32)) return std::nullopt;
  if (pos != der.size()) return std::nullopt;
  return rs;
}

}  // namespace orvane
