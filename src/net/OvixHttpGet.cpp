#include "net/OvixHttpGet.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "OrvaneBuildConfig.h"
#include "net/OvixDbg.h"
#include "net/OvixOpenSSL.h"
#include "system/OSFunctions.h"

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
// A Content-Length up to this size is reserved in one piece, so the body is
// never copied while it grows; a larger claim is not trusted that far.
constexpr std::uint64_t kMaxReserve = std::uint64_t{1} << 30;

THttpGetSettings& Settings() {
  static THttpGetSettings settings;
  return settings;
}

TProxyDiscovery& Discovery() {
  static TProxyDiscovery discovery;
  return discovery;
}

// A failure with the type name that goes into ResponseText.
struct RequestFailure {
  std::string type;
  std::string message;
  std::optional<std::int32_t> httpStatus;  // set for HTTP error answers
};

class RequestError : public std::runtime_error {
 public:
  RequestError(std::string type, const std::string& message)
      : std::runtime_error(message), type_(std::move(type)) {}
  const std::string& type() const { return type_; }

 private:
  std::string type_;
};

// The proxy parameters of one request.
struct ProxySettings {
  std::string server;
  int port = 0;  // 0: none given
  std::string user;
  std::string password;
  bool preemptiveBasic = false;
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

void ApplyManualProxy(ProxySettings& proxy) {
  proxy.server = OvixHttpProxy;
  if (!OvixHttpProxyPort.empty()) {
    if (auto port = ParseDecimal(OvixHttpProxyPort)) {
      proxy.port = *port;
    } else {
      OvixDbg("manual proxy port not an integer. Defaulting to default port");
      proxy.port = 0;
    }
  }
  if (!OvixHttpProxyUser.empty()) {
    proxy.user = OvixHttpProxyUser;
    if (!OvixHttpProxyPassword.empty()) proxy.password = OvixHttpProxyPassword;
    proxy.preemptiveBasic = true;
  }
}

std::string UrlPart(CURLU* url, CURLUPart part) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, 0) != CURLUE_OK || text == nullptr) return {};
  std::string result(text);
  curl_free(text);
  return result;
}

// Takes the first proxy of a discovered named-proxy list. Settings made
// before a failure stay; the failure itself is only traced.
void ApplyDiscoveredProxy(const std::string& list, ProxySettings& proxy) {
  try {
    std::string s = list;
    if (s.find("://") == std::string::npos) s = "http://" + s;
    if (auto semicolon = s.find(';'); semicolon != std::string::npos) {
      OvixDbg(" Multi Proxy Detected: " + s);
      s.erase(semicolon);
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
  } catch (const std::exception& e) {
    OvixDbg(std::string("Create URI error: ") + e.what());
  }
}

void DiscoverProxy(const std::string& target, ProxySettings& proxy) {
  const TProxyDiscovery& hooks = Discovery();
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

// State shared with libcurl's callbacks for one transfer.
struct Transfer {
  Transfer(std::string& destination, const THttpProgress* hook) : body(destination), progress(hook) {}

  std::string& body;
  const THttpProgress* progress = nullptr;
  std::chrono::seconds stallTimeout{0};
  std::chrono::steady_clock::time_point lastByte = std::chrono::steady_clock::now();
  bool stalled = false;
  std::string statusLine;
  std::optional<std::uint64_t> expected;
  std::exception_ptr callbackError;
  long status = 0;
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t length = size * count;
  t->lastByte = std::chrono::steady_clock::now();
  try {
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
      // A new answer (after a redirect or a proxy's CONNECT reply): only the
      // body of the last one is kept.
      t->statusLine = line;
      t->expected.reset();
      t->body.clear();
    } else if (StartsWithNoCase(line, "content-length:")) {
      std::string_view value = line.substr(std::strlen("content-length:"));
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      std::uint64_t announced = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), announced);
      if (ec == std::errc() && end == value.data() + value.size()) {
        t->expected = announced;
        if (announced <= kMaxReserve) t->body.reserve(static_cast<size_t>(announced));
      }
    }
  } catch (...) {
    t->callbackError = std::current_exception();
    return 0;
  }
  return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t length = size * count;
  t->lastByte = std::chrono::steady_clock::now();
  try {
    t->body.append(data, length);
  } catch (...) {
    t->callbackError = std::current_exception();
    return 0;
  }
  return length;
}

// libcurl calls this often while data flows and about once a second while
// nothing moves, which is what the stall check needs.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (t->stallTimeout.count() > 0 && std::chrono::steady_clock::now() - t->lastByte >= t->stallTimeout) {
    t->stalled = true;
    return 1;
  }
  try {
    if (t->progress && *t->progress) (*t->progress)(t->body.size(), t->expected);
  } catch (...) {
    t->callbackError = std::current_exception();
    return 1;
  }
  return 0;
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

// Turns a failed transfer into a failure with a type name. A failure at the
// socket level names its OS error number after "#".
RequestFailure ClassifyCurlFailure(CURL* curl, CURLcode rc, const char* detailBuffer,
                                   const std::string& statusLine) {
  const std::string detail = detailBuffer[0] != '\0' ? detailBuffer : curl_easy_strerror(rc);
  long connectCode = 0;
  curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, &connectCode);
  if (connectCode >= 300) {
    // The proxy refused the CONNECT tunnel; that answer is the HTTP error.
    return {"EHTTPProtocolException", statusLine.empty() ? detail : statusLine,
            static_cast<std::int32_t>(connectCode)};
  }
  if (rc == CURLE_COULDNT_CONNECT || rc == CURLE_RECV_ERROR || rc == CURLE_SEND_ERROR) {
    // The OS error is only looked at for these: libcurl keeps it from any
    // failed connect attempt, also one it recovered from on another address.
    long osErrno = 0;
    curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
    if (osErrno == 0) return {"ESocketError", detail, std::nullopt};
    return {"ESocketError",
            "Socket Error # " + std::to_string(osErrno) + " " +
                SystemErrorMessage(static_cast<int>(osErrno)) + ": " + detail,
            std::nullopt};
  }
  if (rc == CURLE_OPERATION_TIMEDOUT) return {"ETimeoutError", detail, std::nullopt};
  if (rc == CURLE_COULDNT_RESOLVE_HOST || rc == CURLE_COULDNT_RESOLVE_PROXY) {
    return {"EResolveError", detail, std::nullopt};
  }
  if (rc == CURLE_TOO_MANY_REDIRECTS) return {"ERedirectError", detail, std::nullopt};
  if (IsTlsFailure(rc)) return {"ETLSError", detail, std::nullopt};
  return {"ECurlError", detail, std::nullopt};
}

std::optional<RequestFailure> Perform(const std::string& url, const ProxySettings& proxy,
                                      Transfer& transfer) {
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), curl_easy_cleanup);
  if (!handle) throw RequestError("ECurlError", "cannot create an HTTP client");
  CURL* curl = handle.get();
  const THttpGetSettings& settings = Settings();
  char detail[CURL_ERROR_SIZE] = {};

  Set(curl, CURLOPT_ERRORBUFFER, detail);
  Set(curl, CURLOPT_URL, url.c_str());
  Set(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  Set(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  Set(curl, CURLOPT_FOLLOWLOCATION, 1L);
  Set(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  Set(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  Set(curl, CURLOPT_USERAGENT, "OrvaneSupport/" ORVANE_VERSION);
  Set(curl, CURLOPT_NOSIGNAL, 1L);
  Set(curl, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  Set(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.ConnectTimeout.count()));

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
    if (!proxy.user.empty()) {
      Set(curl, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
      Set(curl, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
      // Basic alone makes libcurl send the credentials with the first
      // request instead of waiting for the proxy's 407.
      Set(curl, CURLOPT_PROXYAUTH, proxy.preemptiveBasic ? CURLAUTH_BASIC : CURLAUTH_ANY);
    }
  }

  Set(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
  Set(curl, CURLOPT_HEADERDATA, &transfer);
  Set(curl, CURLOPT_WRITEFUNCTION, &OnBody);
  Set(curl, CURLOPT_WRITEDATA, &transfer);
  // The stall check runs here rather than through libcurl's low-speed limit,
  // whose speed is an average over several seconds: "no byte for N seconds"
  // is then exactly that.
  transfer.stallTimeout = settings.StallTimeout;
  Set(curl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  Set(curl, CURLOPT_XFERINFODATA, &transfer);
  Set(curl, CURLOPT_NOPROGRESS, 0L);

  transfer.lastByte = std::chrono::steady_clock::now();
  const CURLcode rc = curl_easy_perform(curl);
  if (transfer.stalled) {
    return RequestFailure{
        "ETimeoutError", "No data received for " + std::to_string(settings.StallTimeout.count()) + " seconds",
        std::nullopt};
  }
  if (transfer.callbackError) {
    RequestFailure failure;
    failure.message = DescribeException(transfer.callbackError, &failure.type);
    return failure;
  }
  if (rc != CURLE_OK) return ClassifyCurlFailure(curl, rc, detail, transfer.statusLine);

  long& status = transfer.status;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200 || status > 299) {
    return RequestFailure{
        "EHTTPProtocolException",
        transfer.statusLine.empty() ? "HTTP status " + std::to_string(status) : transfer.statusLine,
        static_cast<std::int32_t>(status)};
  }
  return std::nullopt;
}

std::string MaskPassword(const std::string& password) { return password.empty() ? "" : "********"; }

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

void HttpGet(const std::string& url, std::string& destination, OvixHTTPResponse& response,
             const THttpProgress& progress) {
  destination.clear();
  ProxySettings proxy;
  Transfer transfer(destination, &progress);
  std::optional<RequestFailure> failure;
  try {
    if (!OvixHttpProxy.empty()) {
      ApplyManualProxy(proxy);
    } else {
      try {
        DiscoverProxy(url, proxy);
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
    if (StartsWithNoCase(url, "https://") && !OpenSSLPrepared()) PrepareOpenSSL();
    failure = Perform(url, proxy, transfer);
  } catch (...) {
    failure.emplace();
    failure->message = DescribeException(std::current_exception(), &failure->type);
  }

  if (!failure) {
    response.ResponseText = transfer.statusLine;
    response.ResponseCode = static_cast<std::int32_t>(transfer.status);
    response.ProxyHost = proxy.server;
    response.ProxyPort = std::to_string(proxy.port);
    response.ProxyUserName = proxy.user;
    return;
  }

  OvixDbg("Error (class: " + failure->type + ")  in HTTP Get (" + url + ") " + failure->message + " " +
          failure->message + " !");
  response.ResponseText = "Error: " + failure->type + " " + failure->message;
  response.ResponseCode =
      failure->httpStatus ? *failure->httpStatus : ResponseCodeFromText(response.ResponseText);
}

void ShutdownOvixHttpGet() {
  if (OpenSSLPrepared()) CleanupOpenSSL();
  ClearOvixHttpProxy();
}

}  // namespace orvane
