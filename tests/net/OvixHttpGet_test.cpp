#include "net/OvixHttpGet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <tuple>

#include "OrvaneBuildConfig.h"
#include "net/NetTestSupport.h"
#include "net/ProxyLogon.h"
#include "support/LoopbackHttpServer.h"
#include "support/RefusingPort.h"
#include "support/SquidProxy.h"
#include "support/TestSupport.h"
#include "support/TinyProxy.h"
#include "system/OSFunctions.h"

namespace orvane::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Whether the request carried a Proxy-Authorization header, and its scheme.
std::string SignInSent(const RecordedRequest& request) {
  const auto header = request.Headers.find("Proxy-Authorization");
  if (header == request.Headers.end()) return "";
  return header->second.substr(0, header->second.find(' '));
}

// Serves body from memory in slices, with a Content-Length.
void ServeBody(httplib::Server& routes, const std::string& path, const std::string& body) {
  routes.Get(path, [&body](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(body.size(), "application/octet-stream",
                             [&body](size_t offset, size_t length, httplib::DataSink& sink) {
                               sink.write(body.data() + offset, std::min<size_t>(length, 1 << 20));
                               return true;
                             });
  });
}

// Redirects /hop/N to /hop/N-1 (with a body of its own) until /hop/0.
void ServeRedirectChain(httplib::Server& routes) {
  routes.Get(R"(/hop/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    const int n = std::stoi(req.matches[1]);
    if (n == 0) {
      res.set_content("final body", "text/plain");
    } else {
      res.set_redirect("/hop/" + std::to_string(n - 1));
      res.set_content("redirect body " + std::to_string(n), "text/plain");
    }
  });
}

TEST_F(HttpGetTest, DeliversWholeBodiesWithStatusAndProgress) {
  const std::string big = PatternBody(24 << 20);
  LoopbackHttpServer server;
  ServeBody(server.Routes(), "/big", big);
  server.Routes().Get("/empty", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("", "application/octet-stream");
  });
  server.Start();

  std::string body = "left over from before";
  std::vector<std::pair<uint64_t, std::optional<uint64_t>>> calls;
  OvixHTTPResponse response = Get(
      server.Url("/big"), body,
      [&](uint64_t received, std::optional<uint64_t> expected) { calls.emplace_back(received, expected); });
  EXPECT_EQ(response.ResponseCode, 200);
  EXPECT_EQ(response.ResponseText, "HTTP/1.1 200 OK");
  EXPECT_EQ(response.ProxyHost, "");
  EXPECT_EQ(response.ProxyPort, "0");
  EXPECT_EQ(response.ProxyUserName, "");
  ASSERT_EQ(body.size(), big.size());
  EXPECT_TRUE(body == big);
  EXPECT_EQ(server.Requests().back().Headers.find("User-Agent")->second, "OrvaneSupport/" ORVANE_VERSION);

  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().first, big.size());
  EXPECT_EQ(calls.back().second, std::optional<uint64_t>(big.size()));
  EXPECT_TRUE(std::is_sorted(calls.begin(), calls.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; }));

  body = "left over";
  response = Get(server.Url("/empty"), body);
  EXPECT_EQ(response.ResponseCode, 200);
  EXPECT_EQ(body, "");
}

TEST_F(HttpGetTest, ErrorAnswerReportsItsStatusAndKeepsProxyFields) {
  LoopbackHttpServer server;
  server.Routes().Get("/unavailable", [](const httplib::Request&, httplib::Response& res) {
    res.status = 503;
    res.set_content("try later", "text/plain");
  });
  server.Start();

  for (auto [path, code, text] : {std::tuple{"/missing", 404, "HTTP/1.1 404 Not Found"},
                                  std::tuple{"/unavailable", 503, "HTTP/1.1 503 Service Unavailable"}}) {
    SCOPED_TRACE(path);
    std::string body;
    OvixHTTPResponse response;
    response.ProxyHost = "kept";
    response.ProxyPort = "1";
    HttpGet(server.Url(path), body, response);
    EXPECT_EQ(response.ResponseCode, code);
    EXPECT_EQ(response.ResponseText, std::string("Error: EHTTPProtocolException ") + text);
    EXPECT_EQ(response.ProxyHost, "kept");
    EXPECT_EQ(response.ProxyPort, "1");
    EXPECT_TRUE(Traced("Error (class: EHTTPProtocolException)  in HTTP Get (" + server.Url(path) + ") " +
                       text + " " + text + " !"));
  }
}

TEST_F(HttpGetTest, FollowsFifteenRedirectsButNotSixteen) {
  LoopbackHttpServer server;
  ServeRedirectChain(server.Routes());
  server.Start();

  std::string body;
  OvixHTTPResponse response = Get(server.Url("/hop/15"), body);
  EXPECT_EQ(response.ResponseCode, 200);
  EXPECT_EQ(body, "final body");  // nothing of the redirect answers

  response = Get(server.Url("/hop/16"), body);
  EXPECT_THAT(response.ResponseText, StartsWith("Error: ERedirectError "));
  EXPECT_EQ(response.ResponseCode, kResponseCodeUnknown);
  EXPECT_EQ(server.RequestCount(), 16u + 16u);  // /hop/0 was not asked for the second time
}

TEST_F(HttpGetTest, BrokenTransfersFailKeepingWhatArrived) {
  LoopbackHttpServer server;
  // Sends 10 of 1000 announced bytes, then nothing until the test ends.
  server.Routes().Get("/stall", [&server](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1000, "application/octet-stream",
                             [&server](size_t offset, size_t, httplib::DataSink& sink) {
                               if (offset == 0) return sink.write("0123456789", 10);
                               server.WaitUntilStopping();
                               return false;
                             });
  });
  // Sends 500 of 1000 announced bytes and closes the connection.
  server.Routes().Get("/cut", [](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1000, "application/octet-stream",
                             [](size_t offset, size_t, httplib::DataSink& sink) {
                               if (offset > 0) return false;
                               return sink.write(std::string(500, 'x').data(), 500);
                             });
  });
  server.Start();
  THttpGetSettings settings = GetHttpGetSettings();
  settings.StallTimeout = std::chrono::seconds(1);
  SetHttpGetSettings(settings);

  std::string body;
  OvixHTTPResponse response = Get(server.Url("/stall"), body);
  EXPECT_THAT(response.ResponseText, StartsWith("Error: ETimeoutError "));
  EXPECT_EQ(response.ResponseCode, kResponseCodeUnknown);
  EXPECT_EQ(body, "0123456789");

  response = Get(server.Url("/cut"), body);
  EXPECT_THAT(response.ResponseText, StartsWith("Error: ECurlError "));
  EXPECT_EQ(response.ResponseCode, kResponseCodeUnknown);
  EXPECT_EQ(body, std::string(500, 'x'));
}

// Sends what a handler writes as the start of an answer. An interim answer
// is followed by the real one on the same connection, so what the server
// sends as the "body" of a 100 answer is read as the next answer's status
// line and headers. write is called with the offset until it returns false.
void ServeAfterInterimAnswer(httplib::Server& routes, const std::string& path,
                             std::function<bool(size_t offset, httplib::DataSink& sink)> write) {
  routes.Get(path, [write](const httplib::Request&, httplib::Response& res) {
    res.status = 100;
    res.set_content_provider(60000, "text/plain", [write](size_t offset, size_t, httplib::DataSink& sink) {
      return write(offset, sink);
    });
  });
}

struct KeptBody : IHttpBodySink {
  void Begin(std::int32_t, std::optional<std::uint64_t>) override {}
  void Write(const char* data, std::size_t size) override { body.append(data, size); }
  std::string body;
};

bool WriteText(httplib::DataSink& sink, const std::string& text) {
  return sink.write(text.data(), text.size());
}

TEST_F(HttpGetTest, AnswerHeadersAreBoundedInTimeAndSize) {
  LoopbackHttpServer server;
  // A new header line every 20 ms, never a blank line.
  ServeAfterInterimAnswer(server.Routes(), "/endless", [&server](size_t offset, httplib::DataSink& sink) {
    server.WaitUntilStopping(std::chrono::milliseconds(20));
    return WriteText(sink,
                     offset == 0 ? "HTTP/1.1 200 OK\r\n" : "X-Line: " + std::to_string(offset) + "\r\n");
  });
  // The connection closes in the middle of the headers.
  ServeAfterInterimAnswer(server.Routes(), "/cut", [](size_t offset, httplib::DataSink& sink) {
    return offset == 0 && WriteText(sink, "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n");
  });
  server.Routes().Get("/huge-line", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("X-Filler", std::string(16 << 20, 'a'));
    res.set_content("body", "application/octet-stream");
  });
  // About 270 KiB in lines of 100 bytes.
  server.Routes().Get("/many-lines", [](const httplib::Request&, httplib::Response& res) {
    for (int i = 0; i < 2800; ++i)
      res.set_header("X-Filler-" + std::to_string(10000 + i), std::string(80, 'b'));
    res.set_content("body", "application/octet-stream");
  });
  // Eight redirects with about 19 KiB of headers each: what counts against
  // the limit is their sum.
  ServeRedirectChain(server.Routes());
  server.Routes().Get(R"(/padded-hop/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    const int n = std::stoi(req.matches[1]);
    for (int i = 0; i < 200; ++i)
      res.set_header("X-Filler-" + std::to_string(10000 + i), std::string(80, 'c'));
    res.set_redirect(n == 0 ? "/hop/0" : "/padded-hop/" + std::to_string(n - 1));
  });
  server.Start();
  THttpGetSettings settings = GetHttpGetSettings();
  settings.HeaderTimeout = std::chrono::seconds(1);
  SetHttpGetSettings(settings);

  struct Case {
    std::string path;
    std::string type;
    std::string cause;
  };
  for (const Case& c : {
           Case{"/endless", "EHeaderLimitError", "The server's answer headers did not end within 1 second."},
           Case{"/cut", "ECurlError",
                "The connection to 127.0.0.1 port " + std::to_string(server.Port()) +
                    " broke off in the middle of the answer headers."},
           Case{"/huge-line", "EHeaderLimitError",
                "The server's answer headers were too large (one line longer than the limit of 100 KiB)."},
           Case{"/many-lines", "EHeaderLimitError",
                "The server's answer headers were too large (more than the limit of 256 KiB)."},
       }) {
    SCOPED_TRACE(c.path);
    KeptBody sink;
    OvixHTTPResponse response;
    const THttpGetOutcome outcome = HttpGet(MakeHttpGetRequest(server.Url(c.path)), sink, response);
    EXPECT_EQ(outcome.Cause, c.cause);
    EXPECT_THAT(response.ResponseText, StartsWith("Error: " + c.type + " "));
    EXPECT_EQ(response.ResponseCode, kResponseCodeUnknown);
    EXPECT_EQ(sink.body, "");
  }
  for (auto [limit, passes] :
       {std::pair{std::uint64_t{256} << 10, true}, std::pair{std::uint64_t{100} << 10, false}}) {
    SCOPED_TRACE(limit);
    settings.MaxHeaderSize = limit;
    SetHttpGetSettings(settings);
    std::string body;
    const OvixHTTPResponse response = Get(server.Url("/padded-hop/7"), body);
    EXPECT_EQ(response.ResponseCode, passes ? 200 : kResponseCodeUnknown) << response.ResponseText;
    EXPECT_EQ(body, passes ? "final body" : "");
  }
}

TEST_F(HttpGetTest, RefusedConnectionReportsTheSocketErrorNumber) {
  RefusingPort refusing;
  std::string body;
  OvixHTTPResponse response = Get(refusing.Url(), body);
  EXPECT_THAT(response.ResponseText,
              StartsWith("Error: ESocketError Socket Error # " + std::to_string(kConnectionRefusedError) +
                         " " + SystemErrorMessage(kConnectionRefusedError) + ": "));
  EXPECT_EQ(response.ResponseCode, kConnectionRefusedError);
}

TEST_F(HttpGetTest, ProgressHookThatThrowsCancelsTheRequest) {
  LoopbackHttpServer server;
  server.Start();
  std::string body;
  OvixHTTPResponse response = Get(server.Url("/anything"), body, [](uint64_t, std::optional<uint64_t>) {
    throw std::runtime_error("stop");
  });
  EXPECT_EQ(response.ResponseText, "Error: Exception stop");
  EXPECT_EQ(response.ResponseCode, kResponseCodeUnknown);
}

TEST_F(HttpGetTest, DirectMeansDirectDespiteProxyEnvironment) {
  LoopbackHttpServer server;
  server.Routes().Get("/file", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("direct", "text/plain");
  });
  server.Start();
  RefusingPort deadProxy;
  ScopedEnv http("http_proxy", deadProxy.Url());
  ScopedEnv all("ALL_PROXY", deadProxy.Url());

  std::string body;
  OvixHTTPResponse response = Get(server.Url("/file"), body);
  EXPECT_EQ(response.ResponseCode, 200);
  EXPECT_EQ(body, "direct");
  EXPECT_EQ(server.Requests().back().Target, "/file");
}

TEST_F(HttpGetTest, ManualProxyWithoutCredentialsOrWithABadPort) {
  LoopbackHttpServer server;
  server.Start();
  TinyProxy proxy;

  OvixHttpProxy = "127.0.0.1";
  OvixHttpProxyPort = std::to_string(proxy.Port());
  OvixHttpProxyPassword = "unused without a user";
  std::string body;
  OvixHTTPResponse response = Get(server.Url("/nothing-here"), body);
  EXPECT_EQ(response.ResponseCode, 404);
  EXPECT_EQ(proxy.RequestCount(), 1u);
  EXPECT_THAT(proxy.Log(), HasSubstr("GET " + server.Url("/nothing-here")));
  EXPECT_TRUE(Traced(" OvixHttpProxyPassword: "));

  OvixHttpProxyPort = "31x8";
  response = Get(server.Url("/"), body);
  EXPECT_TRUE(Traced("manual proxy port not an integer. Defaulting to default port"));
  EXPECT_THAT(response.ResponseText, StartsWith("Error: EProxyError "));
  EXPECT_EQ(response.ResponseCode, kResponseCodeUnknown);
  EXPECT_EQ(proxy.RequestCount(), 1u);
}

TEST_F(HttpGetTest, DiscoveredProxyListUsesItsFirstEntry) {
  LoopbackHttpServer server;
  server.Routes().Get("/file", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("found", "text/plain");
  });
  server.Start();
  TinyProxy proxy;
  const std::string first = "127.0.0.1:" + std::to_string(proxy.Port());
  DiscoverProxy(first + ";127.0.0.1:1", {true, "http://wpad.invalid/proxy.pac", "static:3128", "<local>"});

  std::string body;
  OvixHTTPResponse response = Get(server.Url("/file"), body);
  EXPECT_EQ(response.ResponseCode, 200);
  EXPECT_EQ(body, "found");
  EXPECT_EQ(response.ProxyHost, "127.0.0.1");
  EXPECT_EQ(response.ProxyPort, std::to_string(proxy.Port()));
  EXPECT_EQ(proxy.RequestCount(), 1u);
  const std::vector<std::string> expected = {
      "WinHttpGetIEProxyConfigForCurrentUser. Results:",
      " AutoDetect=true",
      " AutoConfigUrl=http://wpad.invalid/proxy.pac",
      " Proxy=static:3128",
      " ProxyBypass=<local>",
      "WinHttpGetProxyForUrl results:",
      " Access Type: 3",
      " Proxy: " + first + ";127.0.0.1:1",
      " ProxyBypass: ",
      " Multi Proxy Detected: http://" + first + ";127.0.0.1:1",
      " URLEncoded Proxy URI: http://" + first,
      " OvixHttpProxy: 127.0.0.1",
      " OvixHttpProxyPort: " + std::to_string(proxy.Port()),
      " OvixHttpProxyUser: ",
      " OvixHttpProxyPassword: ",
  };
  EXPECT_EQ(
      std::vector<std::string>(trace_.begin(), trace_.begin() + std::min(trace_.size(), expected.size())),
      expected);

  // WinHTTP separates its list with ";" or blanks; a scheme on a later entry
  // does not keep the first one from getting "http://".
  for (const std::string& list : {first + " 127.0.0.1:1", first + "\t127.0.0.1:1",
                                  " ; " + first + ";;127.0.0.1:1 ", first + ";https://127.0.0.1:1"}) {
    SCOPED_TRACE(list);
    trace_.clear();
    DiscoverProxy(list);
    response = Get(server.Url("/file"), body);
    EXPECT_EQ(response.ResponseCode, 200);
    EXPECT_EQ(response.ProxyPort, std::to_string(proxy.Port()));
    EXPECT_TRUE(Traced(" URLEncoded Proxy URI: http://" + first));
    EXPECT_TRUE(std::any_of(trace_.begin(), trace_.end(), [](const std::string& line) {
      return line.starts_with(" Multi Proxy Detected: ");
    }));
  }
  EXPECT_EQ(proxy.RequestCount(), 5u);
  trace_.clear();
  DiscoverProxy(" " + first + "; ");
  response = Get(server.Url("/file"), body);
  EXPECT_EQ(response.ResponseCode, 200);
  EXPECT_TRUE(Traced(" URLEncoded Proxy URI: http://" + first));
  EXPECT_FALSE(std::any_of(trace_.begin(), trace_.end(), [](const std::string& line) {
    return line.starts_with(" Multi Proxy Detected: ");
  }));
}

TEST_F(HttpGetTest, SystemDiscoveryFollowsTheConfiguredScript) {
  TinyProxy proxy;
  LoopbackHttpServer server;
  server.Routes().Get("/proxy.pac", [&proxy](const httplib::Request&, httplib::Response& res) {
    res.set_content("function FindProxyForURL(url, host) { return 'PROXY 127.0.0.1:" +
                        std::to_string(proxy.Port()) + "; DIRECT'; }",
                    "application/x-ns-proxy-autoconfig");
  });
  server.Routes().Get("/file", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("through the script's proxy", "text/plain");
  });
  server.Start();

  struct ScriptSettings : IProxySettingsSource {
    std::string url;
    std::optional<TIEProxyConfig> Read() override { return TIEProxyConfig{false, url, "", ""}; }
  } settings;
  settings.url = server.Url("/proxy.pac");
  IProxySettingsSource* previous = SetProxySettingsSource(&settings);
  SetProxyDiscovery({});  // the system's own discovery functions

  std::string body;
  OvixHTTPResponse response = Get(server.Url("/file"), body);
  SetProxySettingsSource(previous);
  EXPECT_EQ(response.ResponseCode, 200) << response.ResponseText;
  EXPECT_EQ(body, "through the script's proxy");
  EXPECT_EQ(response.ProxyPort, std::to_string(proxy.Port()));
  EXPECT_EQ(proxy.RequestCount(), 1u);
}

TEST_F(HttpGetTest, DiscoveredCredentialsAreOfferedOnlyWhenAsked) {
  LoopbackHttpServer server;
  server.Start();
  TinyProxy proxy(TinyProxy::Access::BasicAuth);
  DiscoverProxy("http://" + proxy.User() + ":" + proxy.Password() +
                "@127.0.0.1:" + std::to_string(proxy.Port()));

  std::string body;
  OvixHTTPResponse response = Get(server.Url("/x"), body);
  EXPECT_EQ(response.ResponseCode, 404);
  // The first request went without credentials and drew the 407.
  EXPECT_EQ(proxy.RequestCount(), 2u);
  EXPECT_EQ(server.RequestCount(), 1u);
}

TEST_F(HttpGetTest, DiscoveryWithoutUsableProxyGoesDirect) {
  LoopbackHttpServer server;
  server.Start();
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::string tracePrefix;
  };
  for (const Case& c : {
           Case{"no proxy", [this] { DiscoverProxy(""); }, " Access Type: 1"},
           Case{"unreadable proxy", [this] { DiscoverProxy("http://bad<host:80"); }, "Create URI error: "},
           Case{"discovery throws",
                [] {
                  SetProxyDiscovery({[]() -> std::optional<TIEProxyConfig> {
                                       throw std::runtime_error("no settings store");
                                     },
                                     {}});
                },
                "Proxy discovery failed: no settings store"},
       }) {
    SCOPED_TRACE(c.name);
    trace_.clear();
    c.arrange();
    std::string body;
    OvixHTTPResponse response = Get(server.Url("/x"), body);
    EXPECT_EQ(response.ResponseCode, 404);
    EXPECT_EQ(response.ProxyHost, "");
    EXPECT_EQ(server.Requests().back().Target, "/x");
    EXPECT_TRUE(std::any_of(trace_.begin(), trace_.end(),
                            [&c](const std::string& line) { return line.starts_with(c.tracePrefix); }));
  }
}

TEST(ResponseCodeFromText, TakesTheDigitsTwoCharactersAfterTheFirstHash) {
  for (auto [text, code] :
       {std::pair{"Socket Error # 10061 Connection refused", 10061}, std::pair{"a # 1 then # 2", 1},
        std::pair{"#x42", 42}, std::pair{"# 12abc", 12}, std::pair{"#  12", kResponseCodeUnknown},
        std::pair{"# abc", kResponseCodeUnknown}, std::pair{"ends with #", kResponseCodeUnknown},
        std::pair{"# 99999999999", kResponseCodeUnknown}, std::pair{"no number", kResponseCodeUnknown}}) {
    EXPECT_EQ(ResponseCodeFromText(text), code) << text;
  }
}

}  // namespace
}  // namespace orvane::test

namespace orvane::test {
namespace {

TEST_F(HttpGetTest, CurrentLogonSignsInToAnNtlmProxy) {
  if (auto reason = SquidProxy::Unavailable()) GTEST_SKIP() << *reason;
  LoopbackHttpServer server;
  server.Routes().Get("/file", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("signed in", "text/plain");
  });
  server.Start();
  SquidProxy proxy;
  const std::string at = "127.0.0.1:" + std::to_string(proxy.Port());

  const auto typed = [&] {
    OvixHttpProxy = "127.0.0.1";
    OvixHttpProxyPort = std::to_string(proxy.Port());
  };
  // https goes through the proxy's CONNECT tunnel, which is signed in to the
  // same way; the loopback server speaks plain http, so the TLS handshake
  // after the tunnel fails, and only the proxy's log tells the sign-in.
  const std::string tunnelled = "https://127.0.0.1:" + std::to_string(server.Port()) + "/file";
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::string url;
  };
  for (const Case& c : {
           Case{"typed proxy without a user name", typed, server.Url("/file")},
           Case{"discovered proxy", [&] { DiscoverProxy(at); }, server.Url("/file")},
           Case{"typed proxy, tunnel", typed, tunnelled},
       }) {
    SCOPED_TRACE(c.name);
    ClearOvixHttpProxy();
    trace_.clear();
    c.arrange();
    const size_t before = proxy.Requests().size();
    std::string body;
    OvixHTTPResponse response = Get(c.url, body);
    EXPECT_TRUE(Traced(" OvixHttpProxySignIn: Negotiate or NTLM with the current logon, when asked"));
    if (c.url == tunnelled) {
      EXPECT_THAT(response.ResponseText, StartsWith("Error: "));
      EXPECT_NE(response.ResponseCode, 407);
    } else {
      EXPECT_EQ(response.ResponseCode, 200) << response.ResponseText;
      EXPECT_EQ(body, "signed in");
      EXPECT_EQ(response.ProxyPort, std::to_string(proxy.Port()));
      EXPECT_EQ(response.ProxyUserName, "");
    }
    // squid logs the refused steps of the handshake (how many depends on
    // the client), then the request that went through as the signed-in user.
    const std::vector<SquidProxy::Request> requests = proxy.RequestsOnceThrough();
    ASSERT_GE(requests.size(), before + 2);
    for (size_t i = before; i + 1 < requests.size(); ++i) {
      EXPECT_EQ(requests[i].result, "TCP_DENIED/407");
      EXPECT_EQ(requests[i].user, "-");
    }
    EXPECT_THAT(requests.back().result, testing::EndsWith("/200"));
    EXPECT_EQ(requests.back().url, c.url == tunnelled ? "127.0.0.1:" + std::to_string(server.Port()) : c.url);
    EXPECT_NE(requests.back().user, "-");
  }
}

TEST_F(HttpGetTest, RemainingProxy407NamesItsCause) {
  // A proxy that answers everything with 407 and the challenges of the
  // case, and records what it was sent.
  std::vector<std::string> challenges;
  LoopbackHttpServer proxy;
  proxy.Routes().Get(".*", [&challenges](const httplib::Request&, httplib::Response& res) {
    res.status = 407;
    for (const std::string& challenge : challenges) res.headers.emplace("Proxy-Authenticate", challenge);
  });
  proxy.Start();
  const std::string port = std::to_string(proxy.Port());
  const std::string asks =
      "The proxy asks for a user name and password (407 Proxy Authentication Required). ";
  const std::string typeInstead =
      " A user name and password typed in the proxy entry (User:Password@proxy:port) can sign in with Basic "
      "instead.";

  struct Case {
    const char* name;
    std::string user;  // typed in the proxy entry; "url:" puts it into a discovered address
    std::vector<std::string> challenges;
    std::string cause;
    std::vector<std::string> sent;  // the schemes of the requests' sign-ins, "" for none
  };
  for (const Case& c : {
           Case{"logon, unusable schemes",
                "",
                {R"(Digest realm="corp, proxy", nonce="a,b", qop="auth")", "Bearer"},
                "It offers Digest and Bearer sign-in; signing in with the current logon needs Negotiate or "
                "NTLM.",
                {""}},
           Case{"logon, Basic only",
                "",
                {R"(Basic realm="proxy")"},
                "It offers Basic sign-in; signing in with the current logon needs Negotiate or NTLM." +
                    typeInstead,
                {""}},
           Case{"logon refused", "", {"NTLM"}, LogonSignInRefused("NTLM"), {"", "NTLM"}},
           Case{"no challenge", "", {}, "It names no sign-in method.", {""}},
           Case{"typed, refused",
                "user:secret",
                {R"(Basic realm="proxy")"},
                "It refused the user name and password typed in the proxy entry.",
                {"Basic"}},
           Case{"typed, but only the logon would do",
                "user:secret",
                {"Negotiate", "NTLM"},
                "It offers Negotiate and NTLM sign-in, and a typed user name and password sign in with Basic "
                "only; without them in the proxy entry the current logon signs in with Negotiate and NTLM.",
                {"Basic"}},
           Case{"discovered address with credentials, unknown scheme",
                "url:user:secret",
                {"Foo"},
                "It offers Foo sign-in, which this program cannot use.",
                {""}},
       }) {
    SCOPED_TRACE(c.name);
    challenges = c.challenges;
    ClearOvixHttpProxy();
    if (c.user.starts_with("url:")) {
      DiscoverProxy("http://" + c.user.substr(4) + "@127.0.0.1:" + port);
    } else {
      OvixHttpProxy = "127.0.0.1";
      OvixHttpProxyPort = port;
      if (!c.user.empty()) {
        OvixHttpProxyUser = c.user.substr(0, c.user.find(':'));
        OvixHttpProxyPassword = c.user.substr(c.user.find(':') + 1);
      }
    }
    const size_t before = proxy.RequestCount();
    std::string body;
    OvixHTTPResponse response;
    const THttpGetOutcome outcome = GetWithCause("http://127.0.0.1:1/file", body, response);
    EXPECT_EQ(response.ResponseCode, 407);
    EXPECT_EQ(outcome.Cause, asks + c.cause);
    const std::vector<RecordedRequest> requests = proxy.Requests();
    std::vector<std::string> sent;
    // Each different sign-in once: how often a client repeats a step is its
    // own business.
    for (size_t i = before; i < requests.size(); ++i) {
      if (sent.empty() || sent.back() != SignInSent(requests[i])) sent.push_back(SignInSent(requests[i]));
    }
    EXPECT_EQ(sent, c.sent);
  }
}

}  // namespace
}  // namespace orvane::test
