// Proxy discovery through WinHTTP: the Internet options of the current user
// and the auto-configuration script WinHTTP fetches and evaluates.
#include "net/ProxyDiscovery.h"

// Before windows.h, as the loopback server's Winsock header demands.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "net/NetTestSupport.h"
#include "support/LoopbackHttpServer.h"

namespace orvane::test {
namespace {

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

void ServeScript(httplib::Server& routes, const std::string& path, const std::string& answer) {
  routes.Get(path, [answer](const httplib::Request&, httplib::Response& res) {
    res.set_content("function FindProxyForURL(url, host) { " + answer + " }",
                    "application/x-ns-proxy-autoconfig");
  });
}

TEST(WinHttpProxyDiscovery, ConfiguredScriptDecidesPerUrl) {
  LoopbackHttpServer server;
  ServeScript(server.Routes(), "/direct.pac", "return 'DIRECT';");
  ServeScript(
      server.Routes(), "/proxy.pac",
      "return shExpMatch(host, '*.example') ? 'PROXY 127.0.0.1:3128; PROXY 127.0.0.1:3129' : 'DIRECT';");
  ServeScript(server.Routes(), "/broken.pac", "return 'PROXY ' + ;");
  ServeScript(server.Routes(), "/implausible.pac", "return 'PROXY 127.0.0.1:70000';");
  server.Start();
  // Windows hands over every proxy of the script's answer, separated by ";";
  // Wine's WinHTTP keeps only the first one.
  const std::string proxies = UnderWine() ? "127.0.0.1:3128" : "127.0.0.1:3128;127.0.0.1:3129";

  struct Case {
    const char* name;
    std::string script;
    std::string url;
    std::optional<TAutoProxyResult> expected;
  };
  for (const Case& c : {
           Case{"direct", "/direct.pac", "http://tools.example/a.exe",
                TAutoProxyResult{kProxyAccessTypeNoProxy, "", ""}},
           Case{"proxied host", "/proxy.pac", "http://tools.example/a.exe",
                TAutoProxyResult{kProxyAccessTypeNamedProxy, proxies, ""}},
           Case{"other host", "/proxy.pac", "http://tools.test/a.exe",
                TAutoProxyResult{kProxyAccessTypeNoProxy, "", ""}},
           Case{"script missing", "/missing.pac", "http://tools.example/a.exe", std::nullopt},
           Case{"script broken", "/broken.pac", "http://tools.example/a.exe", std::nullopt},
           Case{"implausible proxy", "/implausible.pac", "http://tools.example/a.exe", std::nullopt},
       }) {
    SCOPED_TRACE(c.name);
    const std::optional<TAutoProxyResult> got =
        GetProxyForUrl(c.url, TIEProxyConfig{false, server.Url(c.script), "", ""});
    ASSERT_EQ(got.has_value(), c.expected.has_value());
    if (!got) continue;
    EXPECT_EQ(got->AccessType, c.expected->AccessType);
    EXPECT_EQ(got->Proxy, c.expected->Proxy);
  }
  // Neither detection nor a script: WinHTTP is not asked, the static proxy
  // is not used.
  const size_t asked = server.RequestCount();
  EXPECT_FALSE(GetProxyForUrl("http://tools.example/", TIEProxyConfig{false, "", "static:3128", ""}));
  EXPECT_EQ(server.RequestCount(), asked);
}

// Whether automatic detection stays on this machine: Wine's looks up
// wpad.<domain> only when the machine has a DNS domain.
bool DetectionStaysOnLoopback() {
  wchar_t domain[256] = L"";
  DWORD size = 256;
  return GetComputerNameExW(ComputerNameDnsDomain, domain, &size) && size == 0;
}

// "Automatically detect settings" is on by default, so a script URL set by
// policy beside it must still be used when no WPAD server answers.
TEST(WinHttpProxyDiscovery, ConfiguredScriptFollowsWhenDetectionFindsNoScript) {
  if (!DetectionStaysOnLoopback())
    GTEST_SKIP() << "the machine has a DNS domain; detection would leave loopback";
  LoopbackHttpServer server;
  ServeScript(server.Routes(), "/proxy.pac", "return 'PROXY 127.0.0.1:3128';");
  server.Start();

  const std::optional<TAutoProxyResult> got =
      GetProxyForUrl("http://tools.example/a.exe", TIEProxyConfig{true, server.Url("/proxy.pac"), "", ""});
  ASSERT_TRUE(got);
  EXPECT_EQ(got->AccessType, kProxyAccessTypeNamedProxy);
  EXPECT_EQ(got->Proxy, "127.0.0.1:3128");
  EXPECT_EQ(server.Requests().back().Target, "/proxy.pac");
}

bool HasAuthorization(const RecordedRequest& request) { return request.Headers.count("Authorization") > 0; }

// A script server that asks for the Windows logon gets it on a second
// request; the first goes without credentials. "localhost" has no dot, so
// Windows counts it as an intranet site, where the logon may be sent.
TEST(WinHttpProxyDiscovery, ScriptServerAskingForTheLogonGetsItOnTheSecondTry) {
  LoopbackHttpServer server;
  server.Routes().Get("/logon.pac", [](const httplib::Request& req, httplib::Response& res) {
    if (!req.has_header("Authorization")) {
      res.status = 401;
      res.set_header("WWW-Authenticate", "Negotiate");
      res.set_header("WWW-Authenticate", "NTLM");
      return;
    }
    res.set_content("function FindProxyForURL(url, host) { return 'PROXY 127.0.0.1:3130'; }",
                    "application/x-ns-proxy-autoconfig");
  });
  server.Start();

  const std::string script = "http://localhost:" + std::to_string(server.Port()) + "/logon.pac";
  const std::optional<TAutoProxyResult> got =
      GetProxyForUrl("http://tools.example/a.exe", TIEProxyConfig{false, script, "", ""});
  const std::vector<RecordedRequest> requests = server.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_FALSE(HasAuthorization(requests.front()));
  if (UnderWine()) {
    EXPECT_FALSE(got);
    GTEST_SKIP() << "Wine's WinHTTP fails a script download answered by 401 with another error than "
                    "ERROR_WINHTTP_LOGIN_FAILURE, so the second try with the logon cannot be shown here";
  }
  ASSERT_TRUE(got);
  EXPECT_EQ(got->Proxy, "127.0.0.1:3130");
  EXPECT_TRUE(HasAuthorization(requests.back()));
}

// A fresh Wine prefix has the Internet options of a fresh Windows profile:
// automatic detection on, no script, no proxy. On Windows itself the options
// are the user's, so this is a test of the Wine prefix only.
TEST_F(HttpGetTest, DefaultInternetOptionsOfAWinePrefixMeanDirect) {
  if (!UnderWine()) GTEST_SKIP() << "the Internet options here are the user's, not the defaults";
  // Wine's detection reads the DHCP options from the desktop's network
  // manager and looks up wpad.<domain> only when the machine has a DNS
  // domain: then it would leave this machine.
  if (!DetectionStaysOnLoopback())
    GTEST_SKIP() << "the machine has a DNS domain; detection would leave loopback";

  const std::optional<TIEProxyConfig> config = ReadDesktopProxySettings();
  ASSERT_TRUE(config);
  EXPECT_TRUE(config->AutoDetect);
  EXPECT_EQ(config->AutoConfigUrl, "");
  EXPECT_EQ(config->Proxy, "");

  LoopbackHttpServer server;
  server.Start();
  SetProxyDiscovery({});  // the system's own discovery functions
  std::string body;
  const OvixHTTPResponse response = Get(server.Url("/x"), body);
  EXPECT_EQ(response.ResponseCode, 404);
  EXPECT_EQ(response.ProxyHost, "");
  EXPECT_EQ(server.Requests().back().Target, "/x");
  EXPECT_TRUE(Traced(" AutoDetect=true"));
  // Detection found no script, so WinHTTP had no answer to give.
  EXPECT_FALSE(Traced("WinHttpGetProxyForUrl results:"));
}

}  // namespace
}  // namespace orvane::test
