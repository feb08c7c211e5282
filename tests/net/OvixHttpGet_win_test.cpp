// TLS in the Windows build: libcurl must speak TLS through Schannel, and
// certificates are checked against the Windows trust store. The Windows test
// programs carry no TLS server of their own (the loopback server's HTTPS side
// needs OpenSSL), so scripts/test-windows serves https on 127.0.0.1 with a
// certificate from a throw-away authority and names it in
// ORVANE_TEST_HTTPS_URL and ORVANE_TEST_HTTPS_CA.
#include <winsock2.h>
// winsock2.h before windows.h; wincrypt.h relies on windows.h.
#include <wincrypt.h>
#include <windows.h>

#include <curl/curl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/NetTestSupport.h"
#include "net/OvixOpenSSL.h"
#include "support/LoopbackHttpServer.h"
#include "support/RefusingPort.h"
#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"

namespace orvane::test {
namespace {

using ::testing::StartsWith;

// Proxies that want the Windows logon are signed in to through libcurl's
// SSPI: a libcurl built without it, or without NTLM or SPNEGO, would leave
// them answering 407.
TEST_F(HttpGetTest, LibcurlSignsInToProxiesThroughSspi) {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  for (const auto& [feature, name] : {std::pair{CURL_VERSION_SSPI, "SSPI"},
                                      {CURL_VERSION_NTLM, "NTLM"},
                                      {CURL_VERSION_SPNEGO, "SPNEGO"},
                                      {CURL_VERSION_KERBEROS5, "Kerberos"}}) {
    EXPECT_NE(info->features & feature, 0) << name;
  }
}

TEST_F(HttpGetTest, SchannelIsPreparedOnceAndOnlyForHttps) {
  EXPECT_STREQ(kTlsBackendName, "Schannel");
  ShutdownOvixHttpGet();
  ASSERT_FALSE(OpenSSLPrepared());
  LoopbackHttpServer plain;
  plain.Start();
  RefusingPort refusing;
  const std::string secure = "https://127.0.0.1:" + std::to_string(refusing.Port()) + "/tool.exe";
  const auto preparedLines = [this] {
    return std::count_if(trace_.begin(), trace_.end(), [](const std::string& line) {
      return line.starts_with("Schannel prepared: Schannel");
    });
  };

  std::string body;
  EXPECT_EQ(Get(plain.Url(), body).ResponseCode, 404);
  EXPECT_FALSE(OpenSSLPrepared());
  for (int i = 0; i < 2; ++i) {
    const OvixHTTPResponse response = Get(secure, body);
    EXPECT_THAT(response.ResponseText,
                StartsWith("Error: ESocketError Socket Error # " + std::to_string(WSAECONNREFUSED) + " "));
    EXPECT_EQ(response.ResponseCode, WSAECONNREFUSED);
  }
  EXPECT_TRUE(OpenSSLPrepared());
  EXPECT_EQ(preparedLines(), 1);

  ShutdownOvixHttpGet();
  EXPECT_FALSE(OpenSSLPrepared());
  EXPECT_TRUE(Traced("Schannel released"));
  Get(secure, body);
  EXPECT_TRUE(OpenSSLPrepared());
  EXPECT_EQ(preparedLines(), 2);
}

// The test server's address ("localhost", the only name its certificate
// carries, while it listens on 127.0.0.1), the authority that signed it and one that did not, or a
// failure that says how to get them.
struct THttpsServer {
  std::string Url;
  std::string CAFile;
  std::string OtherCAFile;
};
THttpsServer TestHttpsServer() {
  const char* url = std::getenv("ORVANE_TEST_HTTPS_URL");
  const char* ca = std::getenv("ORVANE_TEST_HTTPS_CA");
  const char* other = std::getenv("ORVANE_TEST_HTTPS_OTHER_CA");
  if (url == nullptr || ca == nullptr || other == nullptr) {
    ADD_FAILURE() << "ORVANE_TEST_HTTPS_URL / _CA / _OTHER_CA are not set: run the Windows tests through "
                     "scripts/test-windows, which starts the https server they use";
    return {};
  }
  return {url, ca, other};
}

// The authority in the current user's root store for the life of the object:
// what a company's IT does with its own root certificate. (Windows asks the
// user to confirm such an addition.)
class TrustedRoot {
 public:
  explicit TrustedRoot(const std::string& pemFile) {
    const std::string pem = ReadFileBytes(pemFile);
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
      return;
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
      return;
    store_ = CertOpenSystemStoreW(0, L"ROOT");
    if (store_ == nullptr) return;
    added_ = CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, der.data(), size,
                                              CERT_STORE_ADD_REPLACE_EXISTING, &context_) != FALSE;
  }
  ~TrustedRoot() {
    if (context_ != nullptr) CertDeleteCertificateFromStore(context_);  // frees the context too
    if (store_ != nullptr) CertCloseStore(store_, 0);
  }
  TrustedRoot(const TrustedRoot&) = delete;
  TrustedRoot& operator=(const TrustedRoot&) = delete;
  bool Added() const { return added_; }

 private:
  HCERTSTORE store_ = nullptr;
  PCCERT_CONTEXT context_ = nullptr;
  bool added_ = false;
};

// Swaps "localhost" in url for another host name.
std::string WithHost(std::string url, const std::string& host) {
  return url.replace(url.find("localhost"), 9, host);
}

// With an authority file (how a build can pin its server's authority, and how
// the Linux tests trust theirs), libcurl checks the chain and the name itself
// through the system's certificate functions.
TEST_F(HttpGetTest, HttpsWithAnAuthorityFileChecksChainAndName) {
  const THttpsServer server = TestHttpsServer();
  ASSERT_FALSE(server.Url.empty());
  std::string body;

  TrustCA(server.CAFile);
  OvixHTTPResponse response = Get(server.Url, body);
  EXPECT_EQ(response.ResponseCode, 200) << response.ResponseText;
  EXPECT_EQ(body, "hello over tls");

  const struct {
    const char* name;
    std::string caFile;
    std::string url;
  } refused[] = {
      {"signed by another authority", server.OtherCAFile, server.Url},
      {"issued for another name", server.CAFile, WithHost(server.Url, "127.0.0.1")},
  };
  for (const auto& c : refused) {
    TrustCA(c.caFile);
    body.clear();
    response = Get(c.url, body);
    EXPECT_THAT(response.ResponseText, StartsWith("Error: ")) << c.name;
    EXPECT_EQ(body, "") << c.name;
  }
}

// Without a file, Schannel decides by the Windows trust store the customer's
// IT manages. Wine's Schannel does not check server certificates at all (it
// leaves that to the caller, which WinHTTP and the browser do and libcurl
// does not), so under Wine these cases cannot show anything and are left to
// a run on Windows; the file-based cases above do run under Wine.
TEST_F(HttpGetTest, HttpsWithoutAFileFollowsTheWindowsTrustStore) {
  if (RunningUnderWine()) {
    GTEST_SKIP() << "Wine's Schannel accepts every server certificate; run on Windows";
  }
  const THttpsServer server = TestHttpsServer();
  ASSERT_FALSE(server.Url.empty());
  std::string body;

  OvixHTTPResponse response = Get(server.Url, body);
  EXPECT_THAT(response.ResponseText, StartsWith("Error: ")) << "an authority the store does not know";
  EXPECT_EQ(body, "");

  const TrustedRoot root(server.CAFile);
  ASSERT_TRUE(root.Added());
  response = Get(server.Url, body);
  EXPECT_EQ(response.ResponseCode, 200) << response.ResponseText;
  EXPECT_EQ(body, "hello over tls");
  body.clear();
  response = Get(WithHost(server.Url, "127.0.0.1"), body);
  EXPECT_THAT(response.ResponseText, StartsWith("Error: ")) << "issued for another name";
}

}  // namespace
}  // namespace orvane::test
