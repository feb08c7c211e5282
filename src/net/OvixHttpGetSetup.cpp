// Request set-up: which proxy a request goes through (the manual one, else
// the one discovery yields for the URL) and every option the libcurl handle
// gets: protocols, redirects, TLS checks, the proxy and its sign-in, and the
// callbacks of the transfer. What is asked of libcurl reads here in one
// place, apart from how the transfer then runs.
#include "net/OvixHttpGetInternal.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <new>

#include "OrvaneBuildConfig.h"
#include "net/OvixDbg.h"
#include "net/OvixOpenSSL.h"

namespace orvane::httpget {

namespace {

// Larger receive chunks than libcurl's 16 KiB default: fewer callbacks and
// appends for the multi-megabyte executables this program fetches.
constexpr long kReceiveBufferSize = 256 * 1024;

std::optional<int> ParseDecimal(std::string_view text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// libcurl reads the proxy host as a URL authority, so an IPv6 literal needs
// its brackets back.
std::string ProxyHostForCurl(const std::string& host) {
  if (host.find(':') != std::string::npos && host.front() != '[') return "[" + host + "]";
  return host;
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

template <typename T>
void Set(CURL* curl, CURLoption option, T value) {
  if (CURLcode rc = curl_easy_setopt(curl, option, value); rc != CURLE_OK) {
    throw RequestError("ECurlError", curl_easy_strerror(rc));
  }
}

}  // namespace

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

}  // namespace orvane::httpget
