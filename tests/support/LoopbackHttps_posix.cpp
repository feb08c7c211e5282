// The HTTPS half of the loopback server: a throw-away certificate authority
// made with OpenSSL, and httplib's OpenSSL server. POSIX only: the Windows
// test programs carry no OpenSSL.
#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <stdexcept>

#include "support/LoopbackHttpServer.h"

namespace orvane::test {
namespace {

template <typename T, void (*Free)(T*)>
struct OpenSSLDeleter {
  void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, OpenSSLDeleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, OpenSSLDeleter<X509, X509_free>>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, OpenSSLDeleter<X509_EXTENSION, X509_EXTENSION_free>>;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificate: ") + what + " failed");
}

KeyPtr NewKey() {
  KeyPtr key(EVP_EC_gen("P-256"));
  Check(key != nullptr, "EVP_EC_gen");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  ExtPtr ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str()));
  Check(ext != nullptr, "X509V3_EXT_conf_nid");
  Check(X509_add_ext(cert, ext.get(), -1) == 1, "X509_add_ext");
}

CertPtr NewCertificate(const std::string& commonName, EVP_PKEY* key, long serial) {
  CertPtr cert(X509_new());
  Check(cert != nullptr, "X509_new");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 7L * 24 * 3600);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
  Check(X509_set_pubkey(cert.get(), key) == 1, "X509_set_pubkey");
  return cert;
}

void WritePem(const std::filesystem::path& file, X509* cert, EVP_PKEY* key) {
  FILE* out = std::fopen(file.c_str(), "w");
  Check(out != nullptr, "fopen");
  const bool ok = cert ? PEM_write_X509(out, cert) == 1
                       : PEM_write_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  std::fclose(out);
  Check(ok, "PEM write");
}

bool IsIpAddress(const std::string& name) {
  unsigned char buffer[16];
  return inet_pton(AF_INET, name.c_str(), buffer) == 1 || inet_pton(AF_INET6, name.c_str(), buffer) == 1;
}

}  // namespace

TestCertificate MakeTestCertificate(const std::filesystem::path& folder,
                                    const std::vector<std::string>& names) {
  KeyPtr caKey = NewKey();
  CertPtr ca = NewCertificate("Orvane Test CA", caKey.get(), 1);
  X509_set_issuer_name(ca.get(), X509_get_subject_name(ca.get()));
  AddExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
  AddExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash");
  Check(X509_sign(ca.get(), caKey.get(), EVP_sha256()) > 0, "X509_sign (CA)");

  KeyPtr serverKey = NewKey();
  CertPtr server = NewCertificate(names.empty() ? "localhost" : names.front(), serverKey.get(), 2);
  X509_set_issuer_name(server.get(), X509_get_subject_name(ca.get()));
  AddExtension(server.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE");
  AddExtension(server.get(), ca.get(), NID_ext_key_usage, "serverAuth");
  AddExtension(server.get(), ca.get(), NID_authority_key_identifier, "keyid");
  std::string altNames;
  for (const auto& name : names) {
    if (!altNames.empty()) altNames += ",";
    altNames += (IsIpAddress(name) ? "IP:" : "DNS:") + name;
  }
  if (!altNames.empty()) AddExtension(server.get(), ca.get(), NID_subject_alt_name, altNames);
  Check(X509_sign(server.get(), caKey.get(), EVP_sha256()) > 0, "X509_sign (server)");

  TestCertificate files{folder / "ca.pem", folder / "server.pem", folder / "server-key.pem"};
  WritePem(files.CAFile, ca.get(), nullptr);
  WritePem(files.CertFile, server.get(), nullptr);
  WritePem(files.KeyFile, nullptr, serverKey.get());
  return files;
}

LoopbackHttpServer::LoopbackHttpServer(const TestCertificate& certificate)
    : server_(
          std::make_unique<httplib::SSLServer>(certificate.CertFile.c_str(), certificate.KeyFile.c_str())),
      https_(true) {
  if (!server_->is_valid())
    throw std::runtime_error("cannot load the test certificate into the HTTPS server");
}

}  // namespace orvane::test
