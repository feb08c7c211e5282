// HttpGet cases that need what only the POSIX test programs have: the HTTPS
// loopback server and test certificates (OpenSSL), and a listen queue that
// drops connections (Windows refuses them once the queue is full).
#include <curl/curl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "net/NetTestSupport.h"
#include "net/OvixHttpGet.h"
#include "net/OvixOpenSSL.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"
#include "support/TinyProxy.h"

namespace orvane::test {
namespace {

using ::testing::StartsWith;

TEST_F(HttpGetTest, ServerThatNeverAcceptsRunsIntoTheConnectTimeout) {
  // A listener that never accepts, its one-slot queue already taken: the
  // kernel drops further connection attempts instead of refusing them.
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 0), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  std::vector<int> fillers;
  for (int i = 0; i < 2; ++i) {
    fillers.push_back(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    connect(fillers.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  THttpGetSettings settings = GetHttpGetSettings();
  settings.ConnectTimeout = std::chrono::milliseconds(300);
  SetHttpGetSettings(settings);

  std::string body;
  OvixHTTPResponse response = Get("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/", body);
  EXPECT_THAT(response.ResponseText, StartsWith("Error: ETimeoutError "));
  EXPECT_EQ(response.ResponseCode, kResponseCodeUnknown);
  for (int fd : fillers) close(fd);
  close(listener);
}

TEST_F(HttpGetTest, HttpsVerifiesCertificateAndHostName) {
  TempDir dir;
  const TestCertificate certificate = MakeTestCertificate(dir.path(), {"127.0.0.1"});
  LoopbackHttpServer server(certificate);
  server.Routes().Get("/file", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("secret", "text/plain");
  });
  server.Start();
  const std::string byName = "https://localhost:" + std::to_string(server.Port()) + "/file";

  struct Case {
    const char* name;
    bool trusted;
    std::string url;
    int code;
    const char* text;
  };
  for (const Case& c :
       {Case{"trusted", true, server.Url("/file"), 200, "HTTP/1.1 200 OK"},
        Case{"unknown CA", false, server.Url("/file"), kResponseCodeUnknown, "Error: ETLSError "},
        Case{"other host name", true, byName, kResponseCodeUnknown, "Error: ETLSError "}}) {
    SCOPED_TRACE(c.name);
    TrustCA(c.trusted ? certificate.CAFile.string() : "");
    std::string body;
    OvixHTTPResponse response = Get(c.url, body);
    EXPECT_EQ(response.ResponseCode, c.code);
    EXPECT_THAT(response.ResponseText, StartsWith(c.text));
    EXPECT_EQ(body, c.code == 200 ? "secret" : "");
  }
  EXPECT_TRUE(OpenSSLPrepared());
}

TEST_F(HttpGetTest, TlsIsPreparedOnceAndOnlyForHttps) {
  ShutdownOvixHttpGet();
  ASSERT_FALSE(OpenSSLPrepared());
  LoopbackHttpServer plain;
  plain.Start();
  TempDir dir;
  const TestCertificate certificate = MakeTestCertificate(dir.path());
  LoopbackHttpServer secure(certificate);
  secure.Start();
  TrustCA(certificate.CAFile.string());

  std::string body;
  Get(plain.Url(), body);
  EXPECT_FALSE(OpenSSLPrepared());
  Get(secure.Url(), body);
  Get(secure.Url(), body);
  EXPECT_TRUE(OpenSSLPrepared());
  EXPECT_EQ(std::count_if(trace_.begin(), trace_.end(),
                          [](const std::string& line) {
                            return line.starts_with(std::string(kTlsBackendName) + " prepared: ");
                          }),
            1);

  OvixHttpProxy = "127.0.0.1";
  ShutdownOvixHttpGet();
  EXPECT_FALSE(OpenSSLPrepared());
  EXPECT_EQ(OvixHttpProxy, "");
  // Preparing again after a release works (a later https request in the same
  // process).
  EXPECT_EQ(Get(secure.Url(), body).ResponseCode, 404);
  EXPECT_TRUE(OpenSSLPrepared());
}

TEST_F(HttpGetTest, ManualProxySendsBasicCredentialsWithTheFirstRequest) {
  LoopbackHttpServer server;
  server.Routes().Get("/file", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("via proxy", "text/plain");
  });
  server.Start();
  TempDir dir;
  const TestCertificate certificate = MakeTestCertificate(dir.path());
  LoopbackHttpServer secure(certificate);
  secure.Routes().Get("/file", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("tunnelled", "text/plain");
  });
  secure.Start();
  TrustCA(certificate.CAFile.string());
  TinyProxy proxy(TinyProxy::Access::BasicAuth);
  // A NO_PROXY from the environment must not bypass the chosen proxy.
  ScopedEnv noProxy("no_proxy", "127.0.0.1,localhost");

  struct Case {
    const char* name;
    std::string url;
    std::string password;
    int code;
    const char* body;
  };
  size_t requests = 0;
  for (const Case& c : {Case{"http", server.Url("/file"), "secret", 200, "via proxy"},
                        Case{"https tunnel", secure.Url("/file"), "secret", 200, "tunnelled"},
                        // tinyproxy refuses wrong credentials with 401.
                        Case{"wrong password", server.Url("/file"), "wrong", 401, nullptr},
                        Case{"wrong password, tunnel", secure.Url("/file"), "wrong", 401, nullptr}}) {
    SCOPED_TRACE(c.name);
    OvixHttpProxy = "127.0.0.1";
    OvixHttpProxyPort = std::to_string(proxy.Port());
    OvixHttpProxyUser = "user";
    OvixHttpProxyPassword = c.password;
    std::string body;
    OvixHTTPResponse response = Get(c.url, body);
    EXPECT_EQ(response.ResponseCode, c.code) << response.ResponseText;
    // One request line in the proxy's log: the credentials were not waited
    // for.
    EXPECT_EQ(proxy.RequestCount(), ++requests);
    if (c.body) {
      EXPECT_EQ(body, c.body);
      EXPECT_EQ(response.ProxyHost, "127.0.0.1");
      EXPECT_EQ(response.ProxyPort, std::to_string(proxy.Port()));
      EXPECT_EQ(response.ProxyUserName, "user");
    } else {
      EXPECT_THAT(response.ResponseText, StartsWith("Error: EHTTPProtocolException HTTP/1.0 401 "));
    }
  }
  EXPECT_EQ(server.RequestCount() + secure.RequestCount(), 2u);
  EXPECT_TRUE(Traced(" OvixHttpProxyUser: user"));
  EXPECT_TRUE(Traced(" OvixHttpProxyPassword: ********"));
  EXPECT_FALSE(Traced(" OvixHttpProxyPassword: secret"));
}

TEST_F(HttpGetTest, DiscoveredHttpsProxyIsSpokenToOverTls) {
  TempDir dir;
  const TestCertificate certificate = MakeTestCertificate(dir.path());
  // A minimal https proxy: it answers every absolute-URL request itself.
  LoopbackHttpServer proxy(certificate);
  proxy.Routes().Get(".*", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content("proxied " + req.target, "text/plain");
  });
  proxy.Start();
  TrustCA(certificate.CAFile.string());
  DiscoverProxy("https://127.0.0.1:" + std::to_string(proxy.Port()));

  std::string body;
  OvixHTTPResponse response = Get("http://origin.invalid/file", body);
  EXPECT_EQ(response.ResponseCode, 200) << response.ResponseText;
  EXPECT_EQ(body, "proxied http://origin.invalid/file");
  EXPECT_EQ(response.ProxyPort, std::to_string(proxy.Port()));
}

// Negotiate needs GSS-API, which the program's own libcurl leaves out; a
// system libcurl with it signs in with a Kerberos ticket and, without one,
// sends nothing (it does not fall back to NTLM). Either way the message
// names what happened instead of claiming a refusal it did not see.
TEST_F(HttpGetTest, NegotiateThatCannotBeUsedIsNamedAsTheCause) {
  std::vector<std::string> challenges;
  LoopbackHttpServer proxy;
  proxy.Routes().Get(".*", [&challenges](const httplib::Request&, httplib::Response& res) {
    res.status = 407;
    for (const std::string& challenge : challenges) res.headers.emplace("Proxy-Authenticate", challenge);
  });
  proxy.Start();
  TempDir dir;
  ScopedEnv noTicket("KRB5CCNAME", "FILE:" + (dir / "no-ticket").string());
  OvixHttpProxy = "127.0.0.1";
  OvixHttpProxyPort = std::to_string(proxy.Port());
  const bool gssapi = (curl_version_info(CURLVERSION_NOW)->features & CURL_VERSION_SPNEGO) != 0;
  const std::string unavailable =
      gssapi ? "No Kerberos ticket could be used for Negotiate sign-in (kinit gets one)."
             : "This program cannot sign in with Negotiate (Kerberos) on this system.";

  struct Case {
    std::vector<std::string> challenges;
    std::string cause;
    std::string sent;  // the scheme of the sign-ins that went out, "" for none
  };
  for (const Case& c : {
           Case{{"Negotiate"}, unavailable, ""},
           Case{{"Negotiate", "NTLM"},
                gssapi ? unavailable
                       : "The proxy refused the NTLM sign-in, which is anonymous here: this system has no "
                         "Windows logon to sign in with.",
                gssapi ? "" : "NTLM"},
       }) {
    SCOPED_TRACE(c.challenges.size());
    challenges = c.challenges;
    const size_t before = proxy.RequestCount();
    std::string body;
    OvixHTTPResponse response;
    const THttpGetOutcome outcome = GetWithCause("http://127.0.0.1:1/file", body, response);
    EXPECT_EQ(response.ResponseCode, 407);
    EXPECT_EQ(outcome.Cause,
              "The proxy asks for a user name and password (407 Proxy Authentication Required). " + c.cause);
    const std::vector<RecordedRequest> requests = proxy.Requests();
    std::vector<std::string> sent;
    for (size_t i = before; i < requests.size(); ++i) {
      const auto header = requests[i].Headers.find("Proxy-Authorization");
      sent.push_back(
          header == requests[i].Headers.end() ? "" : header->second.substr(0, header->second.find(' ')));
    }
    EXPECT_THAT(sent, ::testing::Each(::testing::AnyOf("", c.sent)));
    EXPECT_THAT(sent, ::testing::Contains(c.sent));
  }
}

}  // namespace
}  // namespace orvane::test
