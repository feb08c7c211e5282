// One synchronous HTTP or HTTPS GET into memory, reported in a record.
//
// The proxy is chosen per request: the manual proxy below when its host is
// set, otherwise the one the system's proxy discovery yields for the URL,
// otherwise none. HttpGet never raises; every failure ends up in the record.
#pragma once

#include <chrono>
#include <cstdint>
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
// body of the final answer as far as it arrived (also on failure); response
// is updated as described above.
void HttpGet(const std::string& url, std::string& destination, OvixHTTPResponse& response,
             const THttpProgress& progress = {});

// The "#"-number rule: the decimal digits that start two characters after the
// first "#" of text, else kResponseCodeUnknown.
std::int32_t ResponseCodeFromText(const std::string& text);

// Process end: releases the TLS library when it was prepared and clears the
// manual proxy.
void ShutdownOvixHttpGet();

}  // namespace orvane
