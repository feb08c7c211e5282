// What the parts of the HTTP GET share. OvixHttpGet.cpp holds the entry
// points and the process-wide state; a request then goes through three units
// of its own: OvixHttpGetSetup.cpp chooses the proxy and configures the
// libcurl handle, OvixHttpGetTransfer.cpp runs the transfer and keeps its
// limits, and OvixHttpGetFailure.cpp words whatever ended it. Here are the
// records they hand each other and the functions one of them calls in
// another; nothing of it is for callers outside the HTTP GET.
#pragma once

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/OvixHttpGet.h"

namespace orvane::httpget {

// Redirects a request follows; one more ends it.
inline constexpr long kMaxRedirects = 15;

// A failure with the type name that goes into ResponseText and the cause
// shown to the user.
struct RequestFailure {
  std::string type;
  std::string message;
  std::optional<std::int32_t> httpStatus;  // set for HTTP error answers
  std::string cause;
};

class RequestError : public std::runtime_error {
 public:
  RequestError(std::string type, const std::string& message)
      : std::runtime_error(message), type_(std::move(type)) {}
  const std::string& type() const { return type_; }

 private:
  std::string type_;
};

// How the request signs in to its proxy when the proxy asks (407).
enum class ProxySignIn {
  // Negotiate or NTLM with the current user's logon: no user name was typed
  // and the proxy address carries none. Company proxies commonly accept only
  // these.
  Logon,
  // Basic with the typed user name and password, sent with the first
  // request.
  Typed,
  // Whatever method the proxy offers, with the user name and password of a
  // discovered proxy address.
  FromUrl,
};

// The proxy parameters of one request.
struct ProxySettings {
  std::string server;
  int port = 0;  // 0: none given
  std::string user;
  std::string password;
  ProxySignIn signIn = ProxySignIn::Logon;
  bool https = false;
};

using Clock = std::chrono::steady_clock;

// Why the transfer loop or a callback ended a transfer early.
enum class EarlyStop {
  None,
  Cancelled,
  Stalled,
  TooSlow,
  AnnouncedTooLarge,
  GrewTooLarge,
  HeadersTooLarge,
  HeadersDidNotEnd
};

// State shared with libcurl's callbacks for one transfer.
struct Transfer {
  Transfer(IHttpBodySink& target, const THttpGetSettings& limits) : sink(target), settings(limits) {}

  IHttpBodySink& sink;
  const THttpGetSettings& settings;
  // The answer being read; every redirect or proxy answer starts a new one.
  std::string statusLine;
  long status = 0;
  std::optional<std::uint64_t> announced;
  std::string contentType;
  bool headersDone = false;     // the blank line came; what follows are trailers
  bool toSink = false;          // a 2xx body: it goes to the sink
  std::uint64_t bodyBytes = 0;  // of this answer, whatever its status
  // Header bytes of every answer so far, trailers included.
  std::uint64_t headerBytes = 0;
  // From the start, and from every request sent, until the headers of its
  // final (not 1xx) answer are complete.
  bool inHeaders = true;
  // Since the first header line of the answer being awaited, while
  // inHeaders.
  std::optional<Clock::time_point> headerClock;
  // Of the whole transfer, headers included: what the time-outs watch.
  std::uint64_t received = 0;
  Clock::time_point lastByte = Clock::now();
  EarlyStop stop = EarlyStop::None;
  std::exception_ptr sinkError;
  std::exception_ptr callbackError;
  // Sign-in methods the current answer's Proxy-Authenticate headers name,
  // and the method of the latest request's Proxy-Authorization header (empty
  // when it carried none): what a remaining 407 is explained with.
  std::vector<std::string> proxySchemes;
  std::string sentProxySignIn;
};

// Text and URL helpers of every part.
inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

// Strips the brackets of an IPv6 literal, as a URL parser reports hosts.
inline std::string BareHost(std::string host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

inline std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

inline bool SameScheme(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

// One part of a parsed URL; empty when it has none (OvixHttpGetSetup.cpp).
std::string UrlPart(CURLU* url, CURLUPart part);

// Request set-up (OvixHttpGetSetup.cpp): the proxy of the request, from the
// manual proxy texts or from discovery, and the handle's options.
void ApplyManualProxy(const THttpGetRequest& request, ProxySettings& proxy);
void DiscoverProxy(const std::string& target, const TProxyDiscovery& hooks, ProxySettings& proxy);
void ConfigureHandle(CURL* curl, const std::string& url, const ProxySettings& proxy,
                     const THttpGetSettings& settings, Transfer& transfer, char* detail);

// The transfer (OvixHttpGetTransfer.cpp): libcurl's callbacks, which
// ConfigureHandle installs with the Transfer as their user data, and the
// loop that runs a configured request.
size_t OnHeader(char* data, size_t size, size_t count, void* user);
int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* user);
int OnRequest(void* user, char*, char*, int, int);
size_t OnBody(char* data, size_t size, size_t count, void* user);
std::optional<RequestFailure> Perform(const std::string& url, const ProxySettings& proxy, Transfer& transfer,
                                      const THttpGetControl& control);

// Failure causes (OvixHttpGetFailure.cpp).
std::string DescribeException(std::exception_ptr error, std::string* type);
std::string HttpStatusCause(long status, const Transfer& t, const ProxySettings& proxy, bool fromProxy);
std::string BrokenOffCause(CURL* curl, const Transfer& t, const ProxySettings& proxy);
RequestFailure ClassifyCurlFailure(CURL* curl, CURLcode rc, const char* detailBuffer, const Transfer& t,
                                   const std::string& url, const ProxySettings& proxy);
RequestFailure EarlyStopFailure(const Transfer& t);

}  // namespace orvane::httpget
