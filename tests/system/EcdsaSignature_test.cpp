// Signature checks against fixed keys and signatures made with the openssl
// command line: OpenSSL verifies them on POSIX, CNG in the Windows program.
#include "system/EcdsaSignature.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "system/EcdsaFixtures.h"

namespace orvane {
namespace {

using test::kOtherPublicKeyPem;
using test::kP384PublicKeyPem;
using test::kPublicKeyPem;
using test::kSignature;
using test::kSignatureLongR;
using test::kSignatureShortR;
using test::kSignedList;
using testing::HasSubstr;
using testing::IsEmpty;

std::string Flipped(std::string bytes, std::size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
  return bytes;
}

TEST(EcdsaSignatureTest, SignaturesOfEveryNumberLengthVerify) {
  // r with a zero byte in front (33 bytes) and r of 31 bytes: the DER form
  // is turned into the fixed-width r || s correctly.
  for (const std::string& signature : {kSignature, kSignatureLongR, kSignatureShortR})
    EXPECT_THAT(VerifyEcdsaSignature(kPublicKeyPem, kSignedList, signature), IsEmpty());
  // Windows line ends and text around the block do not matter.
  std::string crlfKey = "key of the maker\r\n";
  for (char c : kPublicKeyPem) crlfKey += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_THAT(VerifyEcdsaSignature(crlfKey + "trailer", kSignedList, kSignature), IsEmpty());
}

TEST(EcdsaSignatureTest, RefusesWhatIsNotTheMakersSignatureOfTheseBytes) {
  const std::string otherList = R"({"downloadLinks":{"listHelper":[]},"defaultItemIndex":1})"
                                "\r\n";
  std::string nonMinimal = kSignature;  // r with a needless zero byte in front
  nonMinimal.insert(4, 1, '\0');
  nonMinimal[1] = static_cast<char>(kSignature[1] + 1);
  nonMinimal[3] = 0x21;
  std::string negative = kSignature;  // r's first byte with its high bit set
  negative[4] = static_cast<char>(0x80 | negative[4]);
  std::string longLength = kSignature;  // the SEQUENCE length in long form
  longLength.insert(1, 1, '\x81');
  struct Case {
    const char* name;
    std::string key;
    std::string data;
    std::string signature;
    const char* why;
  };
  const Case cases[] = {
      {"one byte of the list changed", kPublicKeyPem, Flipped(kSignedList, 20), kSignature,
       kSignatureMismatch},
      {"one byte of r changed", kPublicKeyPem, kSignedList, Flipped(kSignature, 10), kSignatureMismatch},
      {"last byte of s changed", kPublicKeyPem, kSignedList, Flipped(kSignature, kSignature.size() - 1),
       kSignatureMismatch},
      {"signature of another list", kPublicKeyPem, otherList, kSignature, kSignatureMismatch},
      {"another maker's key", kOtherPublicKeyPem, kSignedList, kSignature, kSignatureMismatch},
      {"empty signature", kPublicKeyPem, kSignedList, "", kBadSignatureEncoding},
      {"truncated signature", kPublicKeyPem, kSignedList, kSignature.substr(0, kSignature.size() - 1),
       kBadSignatureEncoding},
      {"bytes after the signature", kPublicKeyPem, kSignedList, kSignature + "x", kBadSignatureEncoding},
      {"header byte changed", kPublicKeyPem, kSignedList, Flipped(kSignature, 0), kBadSignatureEncoding},
      {"non-minimal number", kPublicKeyPem, kSignedList, nonMinimal, kBadSignatureEncoding},
      {"negative number", kPublicKeyPem, kSignedList, negative, kBadSignatureEncoding},
      {"long-form length", kPublicKeyPem, kSignedList, longLength, kBadSignatureEncoding},
      {"raw r || s instead of DER", kPublicKeyPem, kSignedList, std::string(64, '\x11'),
       kBadSignatureEncoding},
      {"P-384 key", kP384PublicKeyPem, kSignedList, kSignature, "not an uncompressed ECDSA P-256"},
      {"no key", "", kSignedList, kSignature, "not a PEM \"PUBLIC KEY\" block"},
      {"broken base64", "-----BEGIN PUBLIC KEY-----\nMFkw*\n-----END PUBLIC KEY-----\n", kSignedList,
       kSignature, "not valid base64"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(VerifyEcdsaSignature(c.key, c.data, c.signature), HasSubstr(c.why));
  }
}

TEST(EcdsaSignatureTest, DerNumbersBecomeFixedWidth) {
  const auto rs = EcdsaSignatureFromDer(std::string("\x30\x06\x02\x01\x05\x02\x01\x07", 8));
  ASSERT_TRUE(rs);
  EXPECT_EQ((*rs)[31], 5);
  EXPECT_EQ((*rs)[63], 7);
  EXPECT_EQ(std::count((*rs).begin(), (*rs).end(), 0), 62);
  // A zero number is no signature.
  EXPECT_FALSE(EcdsaSignatureFromDer(std::string("\x30\x06\x02\x01\x00\x02\x01\x07", 8)));
}

}  // namespace
}  // namespace orvane
