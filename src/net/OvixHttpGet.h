// One synchronous HTTP or HTTPS GET into memory, reported in a record.
//
// The proxy is chosen per request: the manual proxy below when its host is
// set, otherwise the one the system's proxy discovery yields for the URL,
// otherwise none. HttpGet never raises; every failure ends up in the record.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "net/ProxyDiscovery.h"

namespace orvane {

struct OvixHTTPResponse {
  // Success: the final status line ("HTTP/1.1 200 OK"). Failure: "Error: " +
  // failure type name + " " + message.
  std::string ResponseText;
  // Success: the HTTP status. Failure: the status of an HTTP error answer;
  // otherwise the number after the first "#" of ResponseText (a socket
  // failure carries its OS error number there), else 6666.
  std::int32_t ResponseCode = 0;
  // The proxy the request went through; set on success only.
  std::string ProxyHost;      // empty for a direct connection
  std::string ProxyPort;      // decimal, "0" when no proxy
  std::string ProxyUserName;  // empty without credentials
};

inline constexpr std::int32_t kResponseCodeUnknown = 6666;

// The manual proxy, written by the download request before every download.
// When OvixHttpProxy is not empty it is used and discovery is skipped; a
// user name makes the request send Basic credentials to the proxy at once.
extern std::string OvixHttpProxy;
extern std::string OvixHttpProxyPort;
extern std::string OvixHttpProxyUser;
extern std::string OvixHttpProxyPassword;

void ClearOvixHttpProxy();

// Called while a transfer runs, also when no data moves, so that a window can
// show progress and repaint: bytes of the body received so far and the
// announced body size when the server sent one. An exception thrown by the
// hook aborts the request; the failure carries its message.
using THttpProgress = std::function<void(std::uint64_t received, std::optional<std::uint64_t> expected)>;

struct THttpGetSettings {
  // Giving up on a server (or proxy) that does not accept the connection.
  std::chrono::milliseconds ConnectTimeout{std::chrono::seconds(30)};
  // Giving up on a transfer that has received no byte for this long.
  std::chrono::seconds StallTimeout{60};
  // Giving up on a transfer that received fewer than LowSpeedLimit bytes a
  // second on average over LowSpeedTime: a trickle that would otherwise hold
  // the download open for hours.
  std::uint64_t LowSpeedLimit = 1024;
  std::chrono::seconds LowSpeedTime{60};
  // The largest body a request accepts. An answer that announces more is
  // refused before its body is read, one that sends more is cut off. The
  // largest tool is a few hundred MiB.
  std::uint64_t MaxBodySize = std::uint64_t{1} << 30;
  // Giving up on answer headers that do not end: counted from the first
  // header line of an answer to the blank line after the headers of the
  // final one, interim (1xx) answers included; each redirect or sign-in
  // round is a request of its own and starts afresh. Waiting for the answer
  // to begin is the stall limit's business (some proxies check a whole
  // download before they answer).
  std::chrono::seconds HeaderTimeout{10};
  // The most header bytes all answers of one request may bring together:
  // redirects, proxy answers, interim answers and trailers. The servers
  // this program talks to send a few KiB. libcurl refuses on its own a
  // single line longer than 100 KiB and more than 300 KiB in all, so a
  // larger value raises nothing.
  std::uint64_t MaxHeaderSize = 256 * 1024;
  // A PEM file of certificate authorities to trust instead of the system
  // bundle file (the system certificate folder stays in use); empty for the
  // system's trust store alone.
  std::string CABundle;
};

// Process-wide request settings; the defaults above until changed.
THttpGetSettings GetHttpGetSettings();
void SetHttpGetSettings(const THttpGetSettings& settings);

// The two discovery calls HttpGet makes when no manual proxy is set. Empty
// members stand for the system's functions of ProxyDiscovery.h; tests put
// scripted answers here. Returns the previous set.
struct TProxyDiscovery {
  std::function<std::optional<TIEProxyConfig>()> GetIEProxyConfigForCurrentUser;
  std::function<std::optional<TAutoProxyResult>(const std::string& url, const TIEProxyConfig& config)>
      GetProxyForUrl;
};
TProxyDiscovery SetProxyDiscovery(TProxyDiscovery discovery);

// GETs url, following up to 15 redirects. destination is replaced by the
// body of the final answer as far as it arrived (also on failure); the body
// of an error answer is not kept. response is updated as described above.
void HttpGet(const std::string& url, std::string& destination, OvixHTTPResponse& response,
             const THttpProgress& progress = {});

// The streaming form, for callers that write the body elsewhere or run the
// request on a thread of their own.

// Everything one request takes from the process-wide state (manual proxy,
// settings, discovery functions), copied on the calling thread so that the
// request can run on another one while the caller goes on.
struct THttpGetRequest {
  std::string Url;
  std::string Proxy;  // the manual proxy texts
  std::string ProxyPort;
  std::string ProxyUser;
  std::string ProxyPassword;
  THttpGetSettings Settings;
  TProxyDiscovery Discovery;
};
THttpGetRequest MakeHttpGetRequest(const std::string& url);

// Receives the body of every 2xx answer while it arrives. Bodies of other
// answers (redirects, error pages) never reach it. An exception raised here
// ends the request; HttpGet reports it in Outcome.SinkError.
class IHttpBodySink {
 public:
  virtual ~IHttpBodySink() = default;
  // The headers of a 2xx answer are complete: its body follows. Bytes of an
  // earlier answer (a proxy's tunnel answer) are void.
  virtual void Begin(std::int32_t status, std::optional<std::uint64_t> announced) = 0;
  virtual void Write(const char* data, std::size_t size) = 0;
};

// Steering a running request; every member is optional and is called on
// the thread that runs the request.
struct THttpGetControl {
  // Called every few dozen milliseconds while the transfer runs, with the
  // bytes of the current 2xx body; an exception aborts the request.
  THttpProgress Progress;
  // Asked at least every 50 ms while the transfer runs; true ends it.
  std::function<bool()> Cancelled;
  // Asked once the proxy is chosen, before any connection is made; false
  // ends the request as cancelled. Proxy discovery can take seconds.
  std::function<bool()> MayConnect;
};

// What the record does not say: why a request failed, in words a user can
// read out on the phone, and what the final answer was.
struct THttpGetOutcome {
  bool Cancelled = false;
  std::string Cause;        // a sentence or a few; empty on success
  std::string ContentType;  // of the final answer, as sent
  std::exception_ptr SinkError;
};

THttpGetOutcome HttpGet(const THttpGetRequest& request, IHttpBodySink& sink, OvixHTTPResponse& response,
                        const THttpGetControl& control = {});

// The "#"-number rule: the decimal digits that start two characters after the
// first "#" of text, else kResponseCodeUnknown.
std::int32_t ResponseCodeFromText(const std::string& text);

// Process end: waits up to waitForRequests for requests still running on
// other threads (a download given up during proxy discovery finishes in the
// background), releases the TLS library when it was prepared and clears the
// manual proxy.
void ShutdownOvixHttpGet(std::chrono::milliseconds waitForRequests = std::chrono::seconds(3));

}  // namespace orvane
