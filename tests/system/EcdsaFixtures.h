// A fixed key pair's public half, a list and its signatures, all made with
// the openssl command line:
//   openssl ecparam -name prime256v1 -genkey -noout -out key.pem
//   openssl ec -in key.pem -pubout -out pub.pem
//   openssl dgst -sha256 -sign key.pem -out list.sig list.json
// Tests that run where no OpenSSL is (the Windows programs) check against
// them; that they come from the command line shows the formats match it.
#pragma once

#include <string>

namespace orvane::test {

inline const std::string kPublicKeyPem =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE6/TFrOACLHzzTzldvuXIzHgDHX5U\n"
    "GcI3m5ZGZS9bd9rdErHYqaMvU45d8qXwDAMvRLYYiVRtNNfgzYSmDZpGVw==\n"
    "-----END PUBLIC KEY-----\n";

// Another P-256 key, and a P-384 key.
inline const std::string kOtherPublicKeyPem =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEbZdTHECn7NHgmPL0kGSi4Or10+9U\n"
    "p86nE60ZkCNQeCiWHfFkHqGKE/mXab/0n1OKTZJdhN2EIluyCpvFJygczQ==\n"
    "-----END PUBLIC KEY-----\n";
inline const std::string kP384PublicKeyPem =
    "-----BEGIN PUBLIC KEY-----\n"
    "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAEuAeEA8zFY5DNAavlQKemDBaFVZ6l45l/\n"
    "ppPo6SB233L3l5PhuAWk4ITUKxf2YgGVM3Xw+BurE2Y9yNoahG1MyZ3kdaOlhq9I\n"
    "BOekDxrBEJRZBvkBdKcYO6OhiUZN+Qg3\n"
    "-----END PUBLIC KEY-----\n";

inline const std::string kSignedList = "{\"downloadLinks\":{\"listHelper\":[]},\"defaultItemIndex\":0}\r\n";

// Signatures of kSignedList: r of 32 bytes, of 33 (a zero byte before a high
// bit) and of 31.
inline const std::string kSignature{
    "\x30\x44\x02\x20\x5d\x2f\x00\x2c\x4e\xaf\x6c\xec\x3c\x16\xc2\xdf\xb8\x6a\x39\x23\x43\xba\x5d\xab\xfd\x94"
    "\x8f\xc0\x49\x8b\x8b\xa3\xe9\x0c\x9a\x40\x02\x20\x2f\xab\x04\x74\x4a\x89\x57\x4d\xad\x3a\x8c\x33\xd6\x04"
    "\x1e\xdf\x9e\xa3\x30\x02\xb4\x77\x82\x99\xec\x4d\x2f\x5a\x03\x88\x55\x03",
    70};
inline const std::string kSignatureLongR{
    "\x30\x45\x02\x21\x00\xa9\x2a\x55\xab\x75\x2e\xf0\x4a\x1c\x17\xc3\xfe\xa9\xab\xeb\x3a\xce\x42\xe3\x1d\x87"
    "\xc4\xa3\x7a\x24\xc6\x74\x7f\x17\x2d\x81\x7b\x02\x20\x4f\x0b\xdf\xec\x47\x50\xb5\x38\x66\x78\x92\x0b\xe6"
    "\x2e\x49\x50\xc1\x0c\xaf\x60\x8a\x24\x48\xb8\x8e\x77\x92\xe5\xb0\x2c\xa3\xbd",
    71};
inline const std::string kSignatureShortR{
    "\x30\x44\x02\x1f\x6e\x7b\xf6\xe0\xc9\x17\x8d\xa4\xb1\x71\xf4\xa6\x03\x99\xf6\x10\x2f\x93\x7f\xed\x11\xff"
    "\xa7\x6d\x30\x30\x89\xa6\xbb\xae\x08\x02\x21\x00\xa1\x0b\x2d\xf1\x36\x10\x26\x60\xa2\xa2\xd9\x8f\x14\x12"
    "\x28\x1c\x1c\x72\x50\x73\xe7\xe7\x13\x1e\xad\x10\x0e\x2d\x31\x38\x2b\xe9",
    70};

}  // namespace orvane::test
