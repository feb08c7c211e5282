// Automatic proxy configuration on POSIX: the WPAD search by DNS, fetching
// the script with libcurl and evaluating it. (On Windows WinHTTP does this.)
#include "net/Wpad.h"

#include <curl/curl.h>
#include <libpsl.h>
#include <netdb.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "logging/Logging.h"
#include "net/PasswordMask.h"
#include "system/Utf8.h"

namespace orvane {

namespace {

constexpr const char kScriptAgent[] = "Brenlow OvixGet/1.0";
constexpr long kConnectTimeoutMs = 3000;
constexpr long kTransferTimeoutMs = 10000;

// Script URLs and the script's answer may carry user information, and
// control characters that would forge log lines of their own.
void Trace(const std::string& text) {
  if (Logger != nullptr) Logger->Debug(MaskPasswordsInText(EscapeControlChars(text)));
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

struct TPslDeleter {
  void operator()(psl_ctx_t* psl) const { psl_free(psl); }
};

struct TCurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

struct TSlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct TBody {
  std::string data;
  bool too_large = false;
};

size_t CollectBody(char* data, size_t size, size_t count, void* userdata) {
  auto* body = static_cast<TBody*>(userdata);
  const size_t bytes = size * count;
  if (bytes > kMaxProxyScriptSize - body->data.size()) {
    body->too_large = true;
    return 0;  // aborts the transfer
  }
  body->data.append(data, bytes);
  return bytes;
}

// Host and port of url as the fetch will connect to them.
bool HostAndPort(const std::string& url, std::string& host, int& port) {
  CURLU* handle = curl_url();
  if (handle == nullptr) return false;
  char* host_part = nullptr;
  char* port_part = nullptr;
  const bool ok = curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
                  curl_url_get(handle, CURLUPART_HOST, &host_part, 0) == CURLUE_OK &&
                  curl_url_get(handle, CURLUPART_PORT, &port_part, CURLU_DEFAULT_PORT) == CURLUE_OK;
  if (ok) {
    host = host_part;
    port = std::atoi(port_part);
  }
  curl_free(host_part);
  curl_free(port_part);
  curl_url_cleanup(handle);
  return ok;
}

}  // namespace

std::string DomainFromResolvConf(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  std::string domain;
  std::string search;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string keyword;
    std::string value;
    if (!(words >> keyword >> value)) continue;
    if (keyword == "domain") domain = value;
    if (keyword == "search") search = value;
  }
  return domain.empty() ? search : domain;
}

std::vector<std::string> WpadCandidateUrls(const std::string& domain) {
  std::string rest = Lower(domain);
  if (!rest.empty() && rest.back() == '.') rest.pop_back();
  if (rest.empty() || rest.front() == '.' || rest.find("..") != std::string::npos) return {};
  if (rest.find_first_of("/:@?#[]% \t") != std::string::npos) return {};

  const std::unique_ptr<psl_ctx_t, TPslDeleter> psl(psl_latest(nullptr));
  std::vector<std::string> urls;
  for (;;) {
    const std::size_t dot = rest.find('.');
    if (dot == std::string::npos) break;  // a single label: never wpad.<tld>
    if (psl && psl_is_public_suffix2(psl.get(), rest.c_str(), PSL_TYPE_ANY | PSL_TYPE_NO_STAR_RULE) != 0)
      break;
    urls.push_back("http://wpad." + rest + "/wpad.dat");
    rest = rest.substr(dot + 1);
  }
  return urls;
}

namespace {

// One GET without following redirects; redirect receives the Location of a
// 3xx answer.
TScriptFetchOutcome FetchOnce(const std::string& url, bool allowFile, const TScriptHostMapper& mapper,
                              std::string& redirect) {
  const std::unique_ptr<CURL, TCurlDeleter> curl(curl_easy_init());
  if (!curl) return {std::nullopt, "cannot create an HTTP client"};
  std::unique_ptr<curl_slist, TSlistDeleter> connect_to;
  const bool is_file = Lower(url.substr(0, 7)) == "file://";
  if (mapper && !is_file) {
    std::string host;
    int port = 0;
    if (!HostAndPort(url, host, port)) return {std::nullopt, "not a URL: " + url};
    const std::optional<std::string> target = mapper(host, port);
    if (!target) return {std::nullopt, "cannot resolve " + host};
    connect_to.reset(curl_slist_append(nullptr, (host + ":" + std::to_string(port) + ":" + *target).c_str()));
    curl_easy_setopt(curl.get(), CURLOPT_CONNECT_TO, connect_to.get());
  }

  TBody body;
  curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_PROXY, "");
  curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, kScriptAgent);
  curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, kTransferTimeoutMs);
  curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, allowFile ? "http,https,file" : "http,https");
  curl_easy_setopt(curl.get(), CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxProxyScriptSize));
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);

  const CURLcode code = curl_easy_perform(curl.get());
  if (body.too_large || code == CURLE_FILESIZE_EXCEEDED)
    return {std::nullopt, "the script is larger than 1 MiB"};
  if (code != CURLE_OK) return {std::nullopt, curl_easy_strerror(code)};
  if (is_file) {
    if (body.data.empty()) return {std::nullopt, "the script is empty"};
    return {std::move(body.data), {}};
  }
  long status = 0;
  curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
  char* location = nullptr;
  if (status >= 300 && status <= 399 &&
      curl_easy_getinfo(curl.get(), CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location != nullptr) {
    redirect = location;
    return {std::nullopt, "redirected to " + redirect};
  }
  if (status < 200 || status > 299) return {std::nullopt, "HTTP status " + std::to_string(status)};
  if (body.data.empty()) return {std::nullopt, "the script is empty"};
  return {std::move(body.data), {}};
}

}  // namespace

TScriptFetchOutcome FetchProxyScript(const std::string& url, bool allowFileAndRedirects,
                                     const TScriptHostMapper& mapper) {
  constexpr int kMaxRedirects = 5;
  std::string current = url;
  for (int hop = 0;; ++hop) {
    std::string redirect;
    TScriptFetchOutcome outcome = FetchOnce(current, allowFileAndRedirects && hop == 0, mapper, redirect);
    if (redirect.empty() || !allowFileAndRedirects) return outcome;
    if (hop == kMaxRedirects) return {std::nullopt, "too many redirects"};
    const std::string scheme = Lower(redirect.substr(0, redirect.find(':')));
    if (scheme != "http" && scheme != "https") return {std::nullopt, "redirected to " + redirect};
    current = redirect;
  }
}

std::optional<TAutoProxyResult> DiscoverProxyForUrl(const std::string& url, const TIEProxyConfig& config,
                                                    const TScriptDiscoverySeams& seams) {
  std::optional<std::string> script;
  if (config.AutoDetect) {
    const std::string domain = seams.HostDomain ? seams.HostDomain() : HostDnsDomain();
    const std::vector<std::string> candidates = WpadCandidateUrls(domain);
    if (candidates.empty()) Trace("WPAD: no DNS domain to search (\"" + domain + "\")");
    for (const std::string& candidate : candidates) {
      TScriptFetchOutcome fetched = FetchProxyScript(candidate, false, seams.ScriptHosts);
      Trace("WPAD: " + candidate + (fetched.Script ? " found" : ": " + fetched.Error));
      if (fetched.Script) {
        script = std::move(fetched.Script);
        break;
      }
    }
  }
  // A configured script URL follows when detection found no script: desktops
  // leave detection on by default, and a script URL the administrator set
  // must still count where no WPAD server answers.
  if (!script && !config.AutoConfigUrl.empty()) {
    TScriptFetchOutcome fetched = FetchProxyScript(config.AutoConfigUrl, true, seams.ScriptHosts);
    if (!fetched.Script) Trace("Proxy script " + config.AutoConfigUrl + ": " + fetched.Error);
    script = std::move(fetched.Script);
  }
  if (!script) return std::nullopt;

  const std::string host = PacHostOfUrl(url);
  if (host.empty()) return std::nullopt;
  const TPacOutcome outcome = EvaluatePacScript(*script, url, host, seams.Pac, seams.Limits);
  if (!outcome.Result) {
    Trace("Proxy script failed: " + outcome.Error);
    return std::nullopt;
  }
  Trace("FindProxyForURL: " + *outcome.Result);
  return PacResultToAutoProxy(*outcome.Result);
}

namespace {
TScriptDiscoverySeams& CurrentSeams() {
  static TScriptDiscoverySeams seams;
  return seams;
}
}  // namespace

void SetScriptDiscoverySeams(TScriptDiscoverySeams seams) { CurrentSeams() = std::move(seams); }

const TScriptDiscoverySeams& ScriptDiscoverySeams() { return CurrentSeams(); }

namespace {

std::string DomainOfName(const std::string& name) {
  const std::size_t dot = name.find('.');
  if (dot == std::string::npos) return {};
  std::string domain = name.substr(dot + 1);
  if (!domain.empty() && domain.back() == '.') domain.pop_back();
  return domain;
}

}  // namespace

std::string HostDnsDomain() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') {
    std::string domain = DomainOfName(name);
    if (!domain.empty()) return domain;

    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) == 0 && found != nullptr) {
      if (found->ai_canonname != nullptr) domain = DomainOfName(found->ai_canonname);
      freeaddrinfo(found);
      if (!domain.empty()) return domain;
    }
  }
  std::ifstream file("/etc/resolv.conf");
  std::ostringstream text;
  text << file.rdbuf();
  return DomainFromResolvConf(text.str());
}

}  // namespace orvane
