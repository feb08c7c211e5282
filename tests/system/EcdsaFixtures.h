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

inline const std::string kSignedList =
    "{\"downloadLinks\":{\"listHelper\":[{\"itemName\":\"alpha\",\"uRL\":\"http:\\/\\/127.0.0.1\\/alpha.exe\",\"fileName\":\"alpha.exe\",\"optArgs\":\"\",\"sha256\":\"sha\"},{\"itemName\":\"beta\",\"uRL\":\"http:\\/\\/127.0.0.1\\/beta.exe\",\"fileName\":\"beta.exe\",\"optArgs\":\"\",\"sha256\":\"sha\"}]},\"defaultItemIndex\":1}\r\n";

// An option list with two entries ("alpha", "beta"; "beta" preselected), and
// signatures of it: r of 32 bytes, of 33 (a zero byte before a high bit) and
// of 31.
inline const std::string kSignature{
    "\x30\x45\x02\x20\x5c\x94\x49\x70\x8d\xa1\xb9\x99\xbd\xf0\x0d\xd6\xd8\x9a\x5c\x20\x6f\x4e\x27\x87\x7a\x73\x09\x49\x69\x5f\xc7\x4e\xef\x8c\xf7\xea\x02\x21\x00\xc0\x56\x29\x88\x81\xa1\x99\x2a\xf0\xa6\xa7\xbb\x9f\x28\xe0\x94\x2f\x85\xc0\xd3\x95\x0c\x8a\x45\xca\x1a\x42\xd1\xa2\x8a\xc8\xe8",
    71};
inline const std::string kSignatureLongR{
    "\x30\x46\x02\x21\x00\xd2\x19\x9e\xff\x52\x80\x5e\xb9\x6c\x92\x26\xbb\xf3\x89\x52\xc7\x16\x82\x15\xd4\xed\xa1\x63\xfe\x6a\xe8\xc6\x78\x2f\x39\xc0\xc3\x02\x21\x00\xf8\xdb\x5a\x55\xfa\xe3\x7b\x16\xa1\xc1\x3d\x03\xd9\x96\xd7\x15\xf7\x9e\x0d\x48\x3b\xc3\x1a\x43\x7e\xae\xe2\xac\xc3\x34\x60\x3a",
    72};
inline const std::string kSignatureShortR{
    "\x30\x44\x02\x1f\x30\x69\x07\x55\x88\xdf\xfa\xfb\x34\x4d\x59\x9f\x07\x99\x84\x24\xf0\x76\xde\x97\x6a\xdd\x0f\xb4\x69\xc7\x7b\xc3\x8c\x7a\x6a\x02\x21\x00\xdd\xbf\xbf\x0e\x42\xc7\x36\xeb\x5e\xee\x5c\x0f\x06\x6b\x1d\xdc\x7a\x71\x87\x4b\x55\x6b\x57\x6d\x99\x87\xed\x9c\xb9\x1d\x1b\xa3",
    70};

}  // namespace orvane::test
