#include "net/OvixHttpGet.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "OrvaneBuildConfig.h"
#include "net/CurlFailureCause.h"
#include "net/OvixDbg.h"
#include "net/OvixOpenSSL.h"
#include "net/ProxyLogon.h"
#include "system/OSFunctions.h"
#include "system/Utf8.h"

namespace orvane {

std::string OvixHttpProxy;
std::string OvixHttpProxyPort;
std::string OvixHttpProxyUser;
std::string OvixHttpProxyPassword;

void ClearOvixHttpProxy() {
  OvixHttpProxy.clear();
  OvixHttpProxyPort.clear();
  OvixHttpProxyUser.clear();
  OvixHttpProxyPassword.clear();
}

namespace {

constexpr long kMaxRedirects = 15;
// Larger receive chunks than libcurl's 16 KiB default: fewer callbacks and
// appends for the multi-megabyte executables this program fetches.
constexpr long kReceiveBufferSize = 256 * 1024;
// A body kept in memory is reserved up to this size from its Content-Length,
// which saves copies while it grows; a header alone never makes the program
// take more than this.
constexpr std::uint64_t kMaxReserve = std::uint64_t{4} << 20;
// How long the transfer loop waits for the sockets before it looks at the
// cancel flag, the time-outs and the progress again.
constexpr int kPollMs = 50;

THttpGetSettings& Settings() {
  static THttpGetSettings settings;
  return settings;
}

// Requests running on any thread. Shutdown waits a little for them: a
// download given up during proxy discovery finishes on its helper thread,
// and process exit must not tear down what it still uses. Never freed, so
// that a request ending during exit finds it.
struct InFlight {
  std::mutex mutex;
  std::condition_variable ended;
  int count = 0;
};
InFlight& Requests() {
  static InFlight* requests = new InFlight;
  return *requests;
}

class InFlightRequest {
 public:
  InFlightRequest() {
    const std::lock_guard lock(Requests().mutex);
    ++Requests().count;
  }
  ~InFlightRequest() {
    const std::lock_guard lock(Requests().mutex);
    --Requests().count;
    Requests().ended.notify_all();
  }
  InFlightRequest(const InFlightRequest&) = delete;
  InFlightRequest& operator=(const InFlightRequest&) = delete;
};

TProxyDiscovery& Discovery() {
  static TProxyDiscovery discovery;
  return discovery;
}

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

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

std::optional<int> ParseDecimal(std::string_view text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string TypeNameOf(const std::exception& e) {
  if (const auto* re = dynamic_cast<const RequestError*>(&e)) return re->type();
  if (dynamic_cast<const EOpenSSLError*>(&e)) return "EOpenSSLError";
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "EOutOfMemory";
  return "Exception";
}

std::string DescribeException(std::exception_ptr error, std::string* type) {
  try {
    std::rethrow_exception(std::move(error));
  } catch (const std::exception& e) {
    *type = TypeNameOf(e);
    return e.what();
  } catch (...) {
    *type = "Exception";
    return "unknown exception";
  }
}

// Strips the brackets of an IPv6 literal, as a URL parser reports hosts.
std::string BareHost(std::string host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

// libcurl reads the proxy host as a URL authority, so an IPv6 literal needs
// its brackets back.
std::string ProxyHostForCurl(const std::string& host) {
  if (host.find(':') != std::string::npos && host.front() != '[') return "[" + host + "]";
  return host;
}

void ApplyManualProxy(const THttpGetRequest& request, ProxySettings& proxy) {
  proxy.server = request.Proxy;
  if (!request.ProxyPort.empty()) {
    if (auto port = ParseDecimal(request.ProxyPort)) {
      proxy.port = *port;
    } else {
      OvixDbg("manual proxy port not an integer. Defaulting to default port");
      proxy.port = 0;
    }
  }
  if (!request.ProxyUser.empty()) {
    proxy.user = request.ProxyUser;
    if (!request.ProxyPassword.empty()) proxy.password = request.ProxyPassword;
    proxy.signIn = ProxySignIn::Typed;
  }
}

std::string UrlPart(CURLU* url, CURLUPart part) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, 0) != CURLUE_OK || text == nullptr) return {};
  std::string result(text);
  curl_free(text);
  return result;
}

// Takes the first proxy of a discovered named-proxy list. WinHTTP separates
// the entries with ";" or blanks, so both count, and empty entries are
// skipped. Settings made before a failure stay; the failure itself is only
// traced.
void ApplyDiscoveredProxy(const std::string& list, ProxySettings& proxy) {
  try {
    constexpr std::string_view kSeparators = "; \t\r\n";
    const std::size_t begin = std::min(list.find_first_not_of(kSeparators), list.size());
    const std::size_t end = std::min(list.find_first_of(kSeparators, begin), list.size());
    std::string s = list.substr(begin, end - begin);
    if (s.find("://") == std::string::npos) s = "http://" + s;
    if (list.find_first_not_of(kSeparators, end) != std::string::npos) {
      OvixDbg(" Multi Proxy Detected: " + (list.find("://") == std::string::npos ? "http://" + list : list));
    }
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), curl_url_cleanup);
    if (!url) throw std::bad_alloc();
    if (CURLUcode rc = curl_url_set(url.get(), CURLUPART_URL, s.c_str(), CURLU_NON_SUPPORT_SCHEME);
        rc != CURLUE_OK) {
      throw std::runtime_error(std::string(curl_url_strerror(rc)) + ": " + s);
    }
    OvixDbg(" URLEncoded Proxy URI: " + s);
    proxy.server = BareHost(UrlPart(url.get(), CURLUPART_HOST));
    const std::string port = UrlPart(url.get(), CURLUPART_PORT);
    if (port.empty()) {
      proxy.port = 0;
    } else if (auto number = ParseDecimal(port)) {
      proxy.port = *number;
    } else {
      throw std::runtime_error("proxy port is not a number: " + port);
    }
    if (StartsWithNoCase(s, "https://")) {
      if (!OpenSSLPrepared()) PrepareOpenSSL();
      proxy.https = true;
    }
    proxy.user = UrlPart(url.get(), CURLUPART_USER);
    proxy.password = UrlPart(url.get(), CURLUPART_PASSWORD);
    proxy.signIn = proxy.user.empty() ? ProxySignIn::Logon : ProxySignIn::FromUrl;
  } catch (const std::exception& e) {
    OvixDbg(std::string("Create URI error: ") + e.what());
  }
}

void DiscoverProxy(const std::string& target, const TProxyDiscovery& hooks, ProxySettings& proxy) {
  std::optional<TIEProxyConfig> found = hooks.GetIEProxyConfigForCurrentUser
                                            ? hooks.GetIEProxyConfigForCurrentUser()
                                            : GetIEProxyConfigForCurrentUser();
  TIEProxyConfig config;
  if (found) {
    config = *found;
    OvixDbg("WinHttpGetIEProxyConfigForCurrentUser. Results:");
    OvixDbg(config.AutoDetect ? " AutoDetect=true" : " AutoDetect=false");
    OvixDbg(" AutoConfigUrl=" + config.AutoConfigUrl);
    OvixDbg(" Proxy=" + config.Proxy);
    OvixDbg(" ProxyBypass=" + config.ProxyBypass);
  }
  std::optional<TAutoProxyResult> result =
      hooks.GetProxyForUrl ? hooks.GetProxyForUrl(target, config) : GetProxyForUrl(target, config);
  if (!result) return;
  OvixDbg("WinHttpGetProxyForUrl results:");
  OvixDbg(" Access Type: " + std::to_string(result->AccessType));
  OvixDbg(" Proxy: " + result->Proxy);
  OvixDbg(" ProxyBypass: " + result->ProxyBypass);
  if (result->AccessType == kProxyAccessTypeNamedProxy) ApplyDiscoveredProxy(result->Proxy, proxy);
}

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

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

bool SameScheme(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

// An authentication scheme name as the HTTP grammar allows it (a token), of
// a sensible length: anything else from the proxy is not repeated to the
// user.
bool IsSchemeName(std::string_view name) {
  constexpr std::string_view kTokenMarks = "!#$%&'*+-.^_`|~";
  return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [&](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || kTokenMarks.find(c) != std::string_view::npos;
  });
}

// The first word of a header value: the scheme of a challenge or of a
// credential.
std::string_view FirstWord(std::string_view value) {
  value = Trimmed(value);
  return value.substr(0, std::min(value.find_first_of(" \t"), value.size()));
}

// Adds the schemes one Proxy-Authenticate value names. A value may hold
// several challenges separated by commas; each starts with its scheme,
// followed by a token or by name=value parameters, whose quoted strings may
// hold commas themselves.
void AddProxySchemes(std::string_view value, std::vector<std::string>& schemes) {
  constexpr size_t kMaxSchemes = 8;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i <= value.size(); ++i) {
    if (i < value.size() && quoted && value[i] == '\\') {
      ++i;
      continue;
    }
    if (i < value.size() && value[i] == '"') quoted = !quoted;
    if (i < value.size() && (quoted || value[i] != ',')) continue;
    const std::string_view scheme = FirstWord(value.substr(start, i - start));
    start = i + 1;
    // A parameter of the challenge before ("realm=...") is no scheme.
    if (!IsSchemeName(scheme) || schemes.size() >= kMaxSchemes) continue;
    if (std::none_of(schemes.begin(), schemes.end(),
                     [&](const std::string& known) { return SameScheme(known, scheme); })) {
      schemes.emplace_back(scheme);
    }
  }
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t length = size * count;
  t->lastByte = Clock::now();
  t->received += length;
  t->headerBytes += length;
  if (t->headerBytes > t->settings.MaxHeaderSize) {
    t->stop = EarlyStop::HeadersTooLarge;
    return 0;
  }
  std::string_view line = Trimmed(std::string_view(data, length));
  const bool statusLine = line.starts_with("HTTP/");
  // Headers follow a status line also where no request was announced: the
  // sign-in rounds of a proxy tunnel are part of setting up the connection.
  if (statusLine) t->inHeaders = true;
  if (t->inHeaders && !t->headerClock) t->headerClock = t->lastByte;
  if (statusLine) {
    // A new answer (after a redirect, an authentication round or a proxy's
    // CONNECT reply).
    t->statusLine = line;
    t->status = 0;
    if (const size_t blank = line.find(' '); blank != std::string_view::npos) {
      std::string_view code = line.substr(blank + 1, 3);
      std::from_chars(code.data(), code.data() + code.size(), t->status);
    }
    t->announced.reset();
    t->contentType.clear();
    t->proxySchemes.clear();
    t->headersDone = false;
    t->toSink = false;
    t->bodyBytes = 0;
  } else if (t->headersDone) {
    // Trailers of a chunked body: they change nothing that was decided.
  } else if (StartsWithNoCase(line, "content-length:")) {
    const std::string_view value = Trimmed(line.substr(std::strlen("content-length:")));
    std::uint64_t announced = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), announced);
    if (ec == std::errc::result_out_of_range || (ec == std::errc() && end == value.data() + value.size())) {
      if (ec != std::errc() || announced > t->settings.MaxBodySize) {
        t->announced = ec == std::errc() ? announced : std::numeric_limits<std::uint64_t>::max();
        t->stop = EarlyStop::AnnouncedTooLarge;
        return 0;
      }
      t->announced = announced;
    }
  } else if (StartsWithNoCase(line, "content-type:")) {
    t->contentType = Trimmed(line.substr(std::strlen("content-type:")));
  } else if (StartsWithNoCase(line, "proxy-authenticate:")) {
    AddProxySchemes(line.substr(std::strlen("proxy-authenticate:")), t->proxySchemes);
  } else if (line.empty()) {
    t->headersDone = true;
    // An interim answer (100 Continue) is followed by the real one at once:
    // its headers' time keeps running.
    if (t->status >= 200) {
      t->inHeaders = false;
      t->headerClock.reset();
    }
    if (t->status < 200 || t->status > 299) return length;
    try {
      t->sink.Begin(static_cast<std::int32_t>(t->status), t->announced);
      t->toSink = true;
    } catch (...) {
      t->sinkError = std::current_exception();
      return 0;
    }
  }
  return length;
}

// libcurl's verbose output, of which only the request headers are read:
// whether a request to the proxy carried a sign-in, and of which scheme.
int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  if (type != CURLINFO_HEADER_OUT) return 0;
  auto* t = static_cast<Transfer*>(user);
  t->sentProxySignIn.clear();
  std::string_view head(data, size);
  while (!head.empty()) {
    const size_t end = std::min(head.find('\n'), head.size());
    const std::string_view line = head.substr(0, end);
    head.remove_prefix(std::min(end + 1, head.size()));
    if (!StartsWithNoCase(line, "proxy-authorization:")) continue;
    const std::string_view scheme = FirstWord(line.substr(std::strlen("proxy-authorization:")));
    t->sentProxySignIn = IsSchemeName(scheme) ? std::string(scheme) : "unknown";
  }
  return 0;
}

// libcurl is about to send a request: the first, or one after a redirect
// or a sign-in round. The connection and any proxy tunnel are made.
int OnRequest(void* user, char*, char*, int, int) {
  auto* t = static_cast<Transfer*>(user);
  t->inHeaders = true;
  t->headerClock.reset();
  return CURL_PREREQFUNC_OK;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t length = size * count;
  t->lastByte = Clock::now();
  t->received += length;
  t->bodyBytes += length;
  if (t->bodyBytes > t->settings.MaxBodySize) {
    t->stop = EarlyStop::GrewTooLarge;
    return 0;
  }
  if (!t->toSink) return length;  // redirects and error pages are not kept
  try {
    t->sink.Write(data, length);
  } catch (...) {
    t->sinkError = std::current_exception();
    return 0;
  }
  return length;
}

template <typename T>
void Set(CURL* curl, CURLoption option, T value) {
  if (CURLcode rc = curl_easy_setopt(curl, option, value); rc != CURLE_OK) {
    throw RequestError("ECurlError", curl_easy_strerror(rc));
  }
}

bool IsTlsFailure(CURLcode rc) {
  switch (rc) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
      return true;
    default:
      return false;
  }
}

// "1 GiB", "64 KiB", "1000 bytes": limits and sizes as a user reads them.
std::string SizeText(std::uint64_t bytes) {
  if (bytes >= (std::uint64_t{1} << 30) && bytes % (std::uint64_t{1} << 30) == 0) {
    return std::to_string(bytes >> 30) + " GiB";
  }
  if (bytes >= (std::uint64_t{1} << 20) && bytes % (std::uint64_t{1} << 20) == 0) {
    return std::to_string(bytes >> 20) + " MiB";
  }
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string SecondsText(std::chrono::seconds seconds) {
  return std::to_string(seconds.count()) + (seconds.count() == 1 ? " second" : " seconds");
}

// The status line's reason phrase, as far as it is plain printable text.
std::string StatusWords(long status, const std::string& statusLine) {
  std::string words = std::to_string(status);
  const size_t code = statusLine.find(' ');
  if (code == std::string::npos || statusLine.size() <= code + 4) return words;
  std::string reason;
  for (char c : statusLine.substr(code + 5, 60)) {
    if (c < 0x20 || c > 0x7e) break;
    reason += c;
  }
  if (!Trimmed(reason).empty()) words += " " + std::string(Trimmed(reason));
  return words;
}

// "Digest", "Digest and Bearer", "Negotiate, NTLM and Basic".
std::string JoinSchemes(const std::vector<std::string>& schemes) {
  std::string text;
  for (size_t i = 0; i < schemes.size(); ++i) {
    if (i > 0) text += i + 1 == schemes.size() ? " and " : ", ";
    text += schemes[i];
  }
  return text;
}

// What follows "The proxy asks for a user name and password" when a 407
// remains: which sign-in the proxy offered, and what became of ours.
std::string ProxySignInCause(const Transfer& t, const ProxySettings& proxy) {
  const std::vector<std::string>& offered = t.proxySchemes;
  if (offered.empty()) return "It names no sign-in method.";
  const auto offers = [&](std::string_view scheme) {
    return std::any_of(offered.begin(), offered.end(),
                       [&](const std::string& name) { return SameScheme(name, scheme); });
  };
  std::vector<std::string> logonSchemes;
  for (const char* scheme : {"Negotiate", "NTLM"}) {
    if (offers(scheme)) logonSchemes.emplace_back(scheme);
  }
  const std::string typeInstead =
      offers("Basic")
          ? " A user name and password typed in the proxy entry (User:Password@proxy:port) can sign in "
            "with Basic instead."
          : "";
  switch (proxy.signIn) {
    case ProxySignIn::Logon:
      if (logonSchemes.empty()) {
        return "It offers " + JoinSchemes(offered) +
               " sign-in; signing in with the current logon needs Negotiate or NTLM." + typeInstead;
      }
      // libcurl tries Negotiate first when both are offered; a Negotiate
      // that cannot start does not fall back to NTLM.
      return (t.sentProxySignIn.empty() ? LogonSignInUnavailable(logonSchemes.front())
                                        : LogonSignInRefused(t.sentProxySignIn)) +
             typeInstead;
    case ProxySignIn::Typed:
      if (!offers("Basic")) {
        return "It offers " + JoinSchemes(offered) +
               " sign-in, and a typed user name and password sign in with Basic only" +
               (logonSchemes.empty() ? std::string(".")
                                     : "; without them in the proxy entry the current logon signs in with " +
                                           JoinSchemes(logonSchemes) + ".");
      }
      return "It refused the user name and password typed in the proxy entry.";
    case ProxySignIn::FromUrl:
      if (t.sentProxySignIn.empty()) {
        return "It offers " + JoinSchemes(offered) + " sign-in, which this program cannot use.";
      }
      return "It refused the user name and password in the proxy address that the automatic proxy "
             "configuration gave.";
  }
  return {};
}

std::string HttpStatusCause(long status, const Transfer& t, const ProxySettings& proxy, bool fromProxy) {
  if (status == 407) {
    std::string cause =
        "The proxy asks for a user name and password (" + StatusWords(status, t.statusLine) + ").";
    if (!proxy.server.empty()) cause += " " + ProxySignInCause(t, proxy);
    return cause;
  }
  return std::string(fromProxy ? "The proxy" : "The server") + " answered " +
         StatusWords(status, t.statusLine) + ".";
}

// Host and port the failing connection went to: the proxy when there is
// one, else the address being fetched (the last one after redirects).
std::string Destination(CURL* curl, const ProxySettings& proxy) {
  if (!proxy.server.empty()) return "the proxy " + proxy.server + " port " + std::to_string(proxy.port);
  char* effective = nullptr;
  curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective);
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), curl_url_cleanup);
  if (effective == nullptr || !url || curl_url_set(url.get(), CURLUPART_URL, effective, 0) != CURLUE_OK) {
    return "the server";
  }
  const std::string host = BareHost(UrlPart(url.get(), CURLUPART_HOST));
  char* port = nullptr;
  std::string portText;
  if (curl_url_get(url.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK && port != nullptr) {
    portText = port;
    curl_free(port);
  }
  return host + (portText.empty() ? "" : " port " + portText);
}

std::string HostOf(const std::string& text) {
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), curl_url_cleanup);
  if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    return "the server";
  }
  return BareHost(UrlPart(url.get(), CURLUPART_HOST));
}

// text with a full stop, unless it has one.
std::string Sentence(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty() || text.back() != '.') text += '.';
  return text;
}

std::string CutShortCause(const Transfer& t) {
  if (t.announced) {
    return "The connection closed after " + std::to_string(t.bodyBytes) + " of " +
           std::to_string(*t.announced) + " bytes.";
  }
  return "The connection closed after " + std::to_string(t.bodyBytes) + " bytes, before the end of the file.";
}

// A connection that ended or broke off before the transfer was complete:
// how far the answer had come.
std::string BrokenOffCause(CURL* curl, const Transfer& t, const ProxySettings& proxy) {
  if (!t.inHeaders) return CutShortCause(t);
  return "The connection to " + Destination(curl, proxy) + " broke off " +
         (t.headerClock ? "in the middle of the answer headers." : "before an answer came.");
}

// Turns a failed transfer into a failure with a type name and a cause. A
// failure at the socket level names its OS error number after "#".
RequestFailure ClassifyCurlFailure(CURL* curl, CURLcode rc, const char* detailBuffer, const Transfer& t,
                                   const std::string& url, const ProxySettings& proxy) {
  const std::string detail = detailBuffer[0] != '\0' ? detailBuffer : curl_easy_strerror(rc);
  long connectCode = 0;
  curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, &connectCode);
  if (connectCode >= 300) {
    // The proxy refused the CONNECT tunnel; that answer is the HTTP error.
    return {"EHTTPProtocolException", t.statusLine.empty() ? detail : t.statusLine,
            static_cast<std::int32_t>(connectCode), HttpStatusCause(connectCode, t, proxy, true)};
  }
  const bool answered = !t.statusLine.empty();
  if (rc == CURLE_OUT_OF_MEMORY && t.inHeaders) {
    // libcurl holds one header line at a time and refuses to hold a longer
    // one than this; it reports that as running out of memory.
    return {
        "EHeaderLimitError",
        "Answer header line longer than " + std::to_string(CURL_MAX_HTTP_HEADER) + " bytes (" + detail + ")",
        std::nullopt,
        "The server's answer headers were too large (one line longer than the limit of " +
            SizeText(CURL_MAX_HTTP_HEADER) + ")."};
  }
  if (rc == CURLE_COULDNT_CONNECT || rc == CURLE_RECV_ERROR || rc == CURLE_SEND_ERROR) {
    // The OS error is only looked at for these: libcurl keeps it from any
    // failed connect attempt, also one it recovered from on another address.
    long osErrno = 0;
    curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
    std::string cause;
    if (rc == CURLE_COULDNT_CONNECT) {
      cause =
          "The connection to " + Destination(curl, proxy) + " failed" +
          (osErrno != 0 ? ": " + Sentence(SystemErrorMessage(static_cast<int>(osErrno))) : std::string("."));
    } else {
      cause = BrokenOffCause(curl, t, proxy);
    }
    if (osErrno == 0) return {"ESocketError", detail, std::nullopt, cause};
    return {"ESocketError",
            "Socket Error # " + std::to_string(osErrno) + " " +
                SystemErrorMessage(static_cast<int>(osErrno)) + ": " + detail,
            std::nullopt, cause};
  }
  if (rc == CURLE_OPERATION_TIMEDOUT) {
    // Only the connect time-out is libcurl's; the others are the loop's.
    return {"ETimeoutError", detail, std::nullopt,
            "The connection to " + Destination(curl, proxy) + " timed out."};
  }
  if (rc == CURLE_COULDNT_RESOLVE_HOST || rc == CURLE_COULDNT_RESOLVE_PROXY) {
    const std::string host = rc == CURLE_COULDNT_RESOLVE_PROXY ? "the proxy " + proxy.server : HostOf(url);
    return {"EResolveError", detail, std::nullopt, "The address of " + host + " could not be found."};
  }
  if (rc == CURLE_TOO_MANY_REDIRECTS) {
    return {"ERedirectError", detail, std::nullopt,
            "The server sent too many redirects (more than " + std::to_string(kMaxRedirects) + ")."};
  }
  if (rc == CURLE_UNSUPPORTED_PROTOCOL) {
    return {"ERedirectError", detail, std::nullopt,
            answered ? "The server redirected to an address that is not http or https, which is refused."
                     : "Only http and https addresses can be downloaded."};
  }
  if (rc == CURLE_PARTIAL_FILE) return {"ECurlError", detail, std::nullopt, BrokenOffCause(curl, t, proxy)};
  if (rc == CURLE_GOT_NOTHING) {
    return {"ECurlError", detail, std::nullopt, "The server closed the connection without answering."};
  }
  if (rc == CURLE_PEER_FAILED_VERIFICATION) {
    return {"ETLSError", detail, std::nullopt, "The certificate of " + HostOf(url) + " is not trusted."};
  }
  // libcurl's own text stays in the message, for the trace; the user reads
  // a cause.
  return {IsTlsFailure(rc) ? "ETLSError" : "ECurlError", detail, std::nullopt,
          CurlFailureCause(rc, HostOf(url))};
}

// The failure for a transfer the loop or a callback ended early.
RequestFailure EarlyStopFailure(const Transfer& t) {
  const THttpGetSettings& s = t.settings;
  switch (t.stop) {
    case EarlyStop::Cancelled:
      return {"EAbort", "Download cancelled", std::nullopt, "The download was cancelled."};
    case EarlyStop::Stalled:
      return {"ETimeoutError", "No data received for " + std::to_string(s.StallTimeout.count()) + " seconds",
              std::nullopt, "No data arrived for " + SecondsText(s.StallTimeout) + "."};
    case EarlyStop::TooSlow:
      return {"ETimeoutError",
              "Less than " + std::to_string(s.LowSpeedLimit) + " bytes a second for " +
                  std::to_string(s.LowSpeedTime.count()) + " seconds",
              std::nullopt,
              "The download was slower than " + SizeText(s.LowSpeedLimit) + "/s for " +
                  SecondsText(s.LowSpeedTime) + "."};
    case EarlyStop::AnnouncedTooLarge:
      return {"ESizeLimitError", "Content-Length above " + std::to_string(s.MaxBodySize), std::nullopt,
              "The server announced " +
                  (t.announced && *t.announced != std::numeric_limits<std::uint64_t>::max()
                       ? SizeText(*t.announced)
                       : std::string("an endless body")) +
                  ", more than the limit of " + SizeText(s.MaxBodySize) + "."};
    case EarlyStop::GrewTooLarge:
      return {"ESizeLimitError", "Body larger than " + std::to_string(s.MaxBodySize), std::nullopt,
              "The download grew past the limit of " + SizeText(s.MaxBodySize) + "."};
    case EarlyStop::HeadersTooLarge:
      return {"EHeaderLimitError", "Answer headers larger than " + std::to_string(s.MaxHeaderSize) + " bytes",
              std::nullopt,
              "The server's answer headers were too large (more than the limit of " +
                  SizeText(s.MaxHeaderSize) + ")."};
    case EarlyStop::HeadersDidNotEnd:
      return {"EHeaderLimitError",
              "Answer headers not ended within " + std::to_string(s.HeaderTimeout.count()) + " seconds",
              std::nullopt,
              "The server's answer headers did not end within " + SecondsText(s.HeaderTimeout) + "."};
    case EarlyStop::None:
      break;
  }
  return {"ECurlError", "unknown", std::nullopt, "The transfer failed."};
}

void ConfigureHandle(CURL* curl, const std::string& url, const ProxySettings& proxy,
                     const THttpGetSettings& settings, Transfer& transfer, char* detail) {
  Set(curl, CURLOPT_ERRORBUFFER, detail);
  Set(curl, CURLOPT_URL, url.c_str());
  Set(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  // A redirect to file://, ftp:// or anything else is refused.
  Set(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  Set(curl, CURLOPT_FOLLOWLOCATION, 1L);
  Set(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  Set(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  Set(curl, CURLOPT_USERAGENT, "OrvaneSupport/" ORVANE_VERSION);
  Set(curl, CURLOPT_NOSIGNAL, 1L);
  Set(curl, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  Set(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.ConnectTimeout.count()));
  // The bytes are stored as they come: a Content-Encoding nobody asked for
  // (a gzip-compressed executable) is not undone, so the checksum sees what
  // the server holds.
  Set(curl, CURLOPT_HTTP_CONTENT_DECODING, 0L);

  // TLS 1.2 or newer, peer certificate and host name checked against the
  // trust store, for the server and for an https proxy alike.
  Set(curl, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  Set(curl, CURLOPT_PROXY_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  Set(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  Set(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  Set(curl, CURLOPT_PROXY_SSL_VERIFYPEER, 1L);
  Set(curl, CURLOPT_PROXY_SSL_VERIFYHOST, 2L);
  if (!settings.CABundle.empty()) {
    Set(curl, CURLOPT_CAINFO, settings.CABundle.c_str());
    Set(curl, CURLOPT_PROXY_CAINFO, settings.CABundle.c_str());
  }
  // Schannel checks revocation by default and fails when the revocation
  // server cannot be reached (common behind corporate firewalls); a revoked
  // certificate still fails. OpenSSL ignores the flag.
  Set(curl, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
  Set(curl, CURLOPT_PROXY_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));

  // An empty proxy switches off libcurl's own reading of http_proxy,
  // HTTPS_PROXY, ALL_PROXY and NO_PROXY: the proxy is ours to choose.
  Set(curl, CURLOPT_NOPROXY, "");
  if (proxy.server.empty()) {
    Set(curl, CURLOPT_PROXY, "");
  } else {
    if (proxy.port <= 0 || proxy.port > 65535) {
      throw RequestError("EProxyError", proxy.port == 0 ? "no port given for proxy " + proxy.server
                                                        : "invalid port " + std::to_string(proxy.port) +
                                                              " for proxy " + proxy.server);
    }
    const std::string host = ProxyHostForCurl(proxy.server);
    Set(curl, CURLOPT_PROXY, host.c_str());
    Set(curl, CURLOPT_PROXYPORT, static_cast<long>(proxy.port));
    Set(curl, CURLOPT_PROXYTYPE, static_cast<long>(proxy.https ? CURLPROXY_HTTPS : CURLPROXY_HTTP));
    switch (proxy.signIn) {
      case ProxySignIn::Logon:
        // An empty user name and password make libcurl sign in with the
        // current logon: SSPI on Windows, GSS-API (a Kerberos ticket) where
        // libcurl has it and its own NTLM elsewhere. Nothing is sent before
        // the proxy asks for one: a libcurl without GSS-API is left with
        // NTLM alone, which it would send up front without CURLAUTH_ONLY.
        Set(curl, CURLOPT_PROXYUSERPWD, ":");
        Set(curl, CURLOPT_PROXYAUTH, CURLAUTH_NEGOTIATE | CURLAUTH_NTLM | CURLAUTH_ONLY);
        break;
      case ProxySignIn::Typed:
      case ProxySignIn::FromUrl:
        Set(curl, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
        Set(curl, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
        // Basic alone makes libcurl send the credentials with the first
        // request instead of waiting for the proxy's 407.
        Set(curl, CURLOPT_PROXYAUTH, proxy.signIn == ProxySignIn::Typed ? CURLAUTH_BASIC : CURLAUTH_ANY);
        break;
    }
    // Only the request headers of the verbose output are read (OnDebug):
    // whether a sign-in went out decides the message of a remaining 407.
    Set(curl, CURLOPT_DEBUGFUNCTION, &OnDebug);
    Set(curl, CURLOPT_DEBUGDATA, &transfer);
    Set(curl, CURLOPT_VERBOSE, 1L);
  }

  Set(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
  Set(curl, CURLOPT_HEADERDATA, &transfer);
  Set(curl, CURLOPT_PREREQFUNCTION, &OnRequest);
  Set(curl, CURLOPT_PREREQDATA, &transfer);
  Set(curl, CURLOPT_WRITEFUNCTION, &OnBody);
  Set(curl, CURLOPT_WRITEDATA, &transfer);
}

struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct EasyDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

// Runs the transfer through libcurl's multi interface, so that the loop gets
// control back at least every kPollMs whatever the server does: the stall
// and rate limits are checked here, exactly, and a cancel takes effect
// within one round.
std::optional<RequestFailure> Perform(const std::string& url, const ProxySettings& proxy, Transfer& transfer,
                                      const THttpGetControl& control) {
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  if (!easy || !multi) throw RequestError("ECurlError", "cannot create an HTTP client");
  CURL* curl = easy.get();
  const THttpGetSettings& settings = transfer.settings;
  char detail[CURL_ERROR_SIZE] = {};
  ConfigureHandle(curl, url, proxy, settings, transfer, detail);
  if (curl_multi_add_handle(multi.get(), curl) != CURLM_OK) {
    throw RequestError("ECurlError", "cannot start the transfer");
  }

  const auto reportProgress = [&] {
    if (control.Progress) {
      control.Progress(transfer.toSink ? transfer.bodyBytes : 0,
                       transfer.toSink ? transfer.announced : std::nullopt);
    }
  };
  transfer.lastByte = Clock::now();
  Clock::time_point windowStart = transfer.lastByte;
  std::uint64_t windowBytes = 0;
  int running = 1;
  while (running > 0 && transfer.stop == EarlyStop::None) {
    if (CURLMcode mc = curl_multi_perform(multi.get(), &running); mc != CURLM_OK) {
      curl_multi_remove_handle(multi.get(), curl);
      throw RequestError("ECurlError", curl_multi_strerror(mc));
    }
    if (running == 0 || transfer.stop != EarlyStop::None || transfer.sinkError) break;
    const Clock::time_point now = Clock::now();
    if (control.Cancelled && control.Cancelled()) {
      transfer.stop = EarlyStop::Cancelled;
    } else if (transfer.headerClock && now - *transfer.headerClock >= settings.HeaderTimeout) {
      transfer.stop = EarlyStop::HeadersDidNotEnd;
    } else if (now - transfer.lastByte >= settings.StallTimeout) {
      transfer.stop = EarlyStop::Stalled;
    } else if (now - windowStart >= settings.LowSpeedTime) {
      // The average of each whole window counts, so that a short pause in an
      // otherwise fast transfer ends nothing.
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - windowStart).count();
      if (transfer.received - windowBytes < settings.LowSpeedLimit * static_cast<std::uint64_t>(seconds)) {
        transfer.stop = EarlyStop::TooSlow;
      }
      windowStart = now;
      windowBytes = transfer.received;
    }
    if (transfer.stop != EarlyStop::None) break;
    try {
      reportProgress();
    } catch (...) {
      transfer.callbackError = std::current_exception();
      break;
    }
    if (CURLMcode mc = curl_multi_poll(multi.get(), nullptr, 0, kPollMs, nullptr); mc != CURLM_OK) {
      curl_multi_remove_handle(multi.get(), curl);
      throw RequestError("ECurlError", curl_multi_strerror(mc));
    }
  }

  CURLcode rc = CURLE_OK;
  bool finished = false;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == curl) {
      rc = message->data.result;
      finished = true;
    }
  }
  curl_multi_remove_handle(multi.get(), curl);

  if (transfer.sinkError) {
    RequestFailure failure;
    failure.message = DescribeException(transfer.sinkError, &failure.type);
    failure.cause = failure.message;
    return failure;
  }
  if (transfer.stop != EarlyStop::None) return EarlyStopFailure(transfer);
  if (transfer.callbackError) {
    RequestFailure failure;
    failure.message = DescribeException(transfer.callbackError, &failure.type);
    failure.cause = "The transfer was stopped: " + failure.message;
    return failure;
  }
  if (!finished)
    return RequestFailure{"ECurlError", "transfer ended unexpectedly", std::nullopt,
                          "The transfer ended unexpectedly."};
  if (rc != CURLE_OK) return ClassifyCurlFailure(curl, rc, detail, transfer, url, proxy);
  if (transfer.inHeaders) {
    // libcurl takes a connection that closes in the middle of the headers
    // for a whole answer with an empty body.
    return RequestFailure{"ECurlError", "Connection closed before the end of the answer headers",
                          std::nullopt, BrokenOffCause(curl, transfer, proxy)};
  }

  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &transfer.status);
  try {
    reportProgress();
  } catch (...) {
    // The transfer is complete; a hook failing on the last report changes
    // nothing about it.
  }
  if (transfer.status < 200 || transfer.status > 299) {
    return RequestFailure{
        "EHTTPProtocolException",
        transfer.statusLine.empty() ? "HTTP status " + std::to_string(transfer.status) : transfer.statusLine,
        static_cast<std::int32_t>(transfer.status), HttpStatusCause(transfer.status, transfer, proxy, false)};
  }
  return std::nullopt;
}

std::string MaskPassword(const std::string& password) { return password.empty() ? "" : "********"; }

std::string SignInWords(ProxySignIn signIn) {
  switch (signIn) {
    case ProxySignIn::Logon:
      return "Negotiate or NTLM with the current logon, when asked";
    case ProxySignIn::Typed:
      return "Basic with the typed user name, with the first request";
    case ProxySignIn::FromUrl:
      return "any method with the user name of the proxy address, when asked";
  }
  return {};
}

// The buffer form's sink: the body in memory.
class StringSink : public IHttpBodySink {
 public:
  explicit StringSink(std::string& destination) : destination_(destination) {}
  void Begin(std::int32_t, std::optional<std::uint64_t> announced) override {
    destination_.clear();
    if (announced) destination_.reserve(static_cast<size_t>(std::min(*announced, kMaxReserve)));
  }
  void Write(const char* data, std::size_t size) override { destination_.append(data, size); }

 private:
  std::string& destination_;
};

}  // namespace

THttpGetSettings GetHttpGetSettings() { return Settings(); }

void SetHttpGetSettings(const THttpGetSettings& settings) { Settings() = settings; }

TProxyDiscovery SetProxyDiscovery(TProxyDiscovery discovery) {
  return std::exchange(Discovery(), std::move(discovery));
}

std::int32_t ResponseCodeFromText(const std::string& text) {
  const size_t hash = text.find('#');
  if (hash == std::string::npos || hash + 2 >= text.size()) return kResponseCodeUnknown;
  const size_t start = hash + 2;
  size_t end = start;
  while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
  std::int32_t code = 0;
  auto [ptr, ec] = std::from_chars(text.data() + start, text.data() + end, code);
  if (end == start || ec != std::errc() || ptr != text.data() + end) return kResponseCodeUnknown;
  return code;
}

THttpGetRequest MakeHttpGetRequest(const std::string& url) {
  return {url,        OvixHttpProxy, OvixHttpProxyPort, OvixHttpProxyUser, OvixHttpProxyPassword,
          Settings(), Discovery()};
}

THttpGetOutcome HttpGet(const THttpGetRequest& request, IHttpBodySink& sink, OvixHTTPResponse& response,
                        const THttpGetControl& control) {
  const InFlightRequest inFlight;
  const std::string& url = request.Url;
  ProxySettings proxy;
  Transfer transfer(sink, request.Settings);
  std::optional<RequestFailure> failure;
  try {
    if (!request.Proxy.empty()) {
      ApplyManualProxy(request, proxy);
    } else {
      try {
        DiscoverProxy(url, request.Discovery, proxy);
      } catch (const std::exception& e) {
        // Discovery that breaks down means no proxy, like discovery that
        // finds none.
        OvixDbg(std::string("Proxy discovery failed: ") + e.what());
        proxy = ProxySettings();
      }
    }
    OvixDbg(" OvixHttpProxy: " + proxy.server);
    OvixDbg(" OvixHttpProxyPort: " + std::to_string(proxy.port));
    OvixDbg(" OvixHttpProxyUser: " + proxy.user);
    OvixDbg(" OvixHttpProxyPassword: " + MaskPassword(proxy.password));
    if (!proxy.server.empty()) OvixDbg(" OvixHttpProxySignIn: " + SignInWords(proxy.signIn));
    if (control.MayConnect && !control.MayConnect()) {
      transfer.stop = EarlyStop::Cancelled;
      failure = EarlyStopFailure(transfer);
    } else {
      if (StartsWithNoCase(url, "https://") && !OpenSSLPrepared()) PrepareOpenSSL();
      failure = Perform(url, proxy, transfer, control);
    }
  } catch (...) {
    failure.emplace();
    failure->message = DescribeException(std::current_exception(), &failure->type);
    failure->cause = failure->type == "EOpenSSLError"
                         ? "Secure connections (https) are not available: " + failure->message
                         : "The request could not be made: " + failure->message;
  }

  THttpGetOutcome outcome;
  outcome.ContentType = transfer.contentType;
  // Everything handed back may come from the server or the proxy script
  // and ends up in log lines and message boxes: see EscapeControlChars.
  if (!failure) {
    response.ResponseText = EscapeControlChars(transfer.statusLine);
    response.ResponseCode = static_cast<std::int32_t>(transfer.status);
    response.ProxyHost = EscapeControlChars(proxy.server);
    response.ProxyPort = std::to_string(proxy.port);
    response.ProxyUserName = EscapeControlChars(proxy.user);
    return outcome;
  }

  OvixDbg("Error (class: " + failure->type + ")  in HTTP Get (" + url + ") " + failure->message + " " +
          failure->message + " !");
  response.ResponseText = EscapeControlChars("Error: " + failure->type + " " + failure->message);
  response.ResponseCode =
      failure->httpStatus ? *failure->httpStatus : ResponseCodeFromText(response.ResponseText);
  outcome.Cancelled = transfer.stop == EarlyStop::Cancelled;
  outcome.Cause = EscapeControlChars(failure->cause);
  outcome.SinkError = transfer.sinkError;
  return outcome;
}

void HttpGet(const std::string& url, std::string& destination, OvixHTTPResponse& response,
             const THttpProgress& progress) {
  destination.clear();
  StringSink sink(destination);
  THttpGetControl control;
  control.Progress = progress;
  HttpGet(MakeHttpGetRequest(url), sink, response, control);
}

void ShutdownOvixHttpGet(std::chrono::milliseconds waitForRequests) {
  {
    std::unique_lock lock(Requests().mutex);
    Requests().ended.wait_for(lock, waitForRequests, [] { return Requests().count == 0; });
  }
  if (OpenSSLPrepared()) CleanupOpenSSL();
  ClearOvixHttpProxy();
}

}  // namespace orvane
