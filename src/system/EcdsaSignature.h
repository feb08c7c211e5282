// ECDSA signatures over the NIST P-256 curve with SHA-256, in the formats the
// openssl command line reads and writes, so that keys and signatures can be
// made with it as well as with this program:
//   public key   PEM "PUBLIC KEY" (SubjectPublicKeyInfo, uncompressed point),
//                as `openssl ec -pubout` writes it;
//   private key  PEM "EC PRIVATE KEY" or "PRIVATE KEY", not encrypted, as
//                `openssl ecparam -name prime256v1 -genkey` writes it;
//   signature    DER ECDSA-Sig-Value (a SEQUENCE of the INTEGERs r and s), as
//                `openssl dgst -sha256 -sign` writes it.
// Verification goes through OpenSSL on POSIX (EcdsaSignature_posix.cpp) and
// through the system's CNG provider on Windows (EcdsaSignature_win.cpp); the
// key and signature encodings are checked by the same shared code on both, so
// both accept exactly the same files.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// Empty when signature is a valid signature of data under the public key;
// otherwise which check failed, in words for the log. Never raises.
std::string VerifyEcdsaSignature(std::string_view publicKeyPem, std::string_view data,
                                 std::string_view signature);

// The DER signature of data under the private key. Raises
// std::runtime_error, also on Windows, where signing is left to the maker's
// Linux machine (the program ships no private-key handling there).
std::string SignEcdsa(std::string_view privateKeyPem, std::string_view data);

// Shared by both platforms' files.

// The DER SubjectPublicKeyInfo of the first "PUBLIC KEY" block of pem, when it
// is a P-256 key with an uncompressed point; otherwise nullopt and why.
std::optional<std::string> P256PublicKeyFromPem(std::string_view pem, std::string& why);
// The point X || Y held by such a SubjectPublicKeyInfo.
std::array<unsigned char, 64> P256PublicPoint(std::string_view subjectPublicKeyInfo);
// r || s, each 32 bytes big-endian, of a strictly DER-encoded signature whose
// two numbers are positive and fit 32 bytes; nullopt for anything else.
std::optional<std::array<unsigned char, 64>> EcdsaSignatureFromDer(std::string_view der);

inline constexpr char kBadSignatureEncoding[] = "the signature is not a DER-encoded ECDSA P-256 signature";
inline constexpr char kSignatureMismatch[] =
    "the signature does not match the signed bytes or the public key";

}  // namespace orvane
