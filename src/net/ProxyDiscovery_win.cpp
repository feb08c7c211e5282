// Proxy discovery on Windows: the current user's Internet options and
// WinHTTP's auto-proxy support, which does the WPAD search (DHCP and DNS),
// fetches the script and evaluates it.
#include <windows.h>
#include <winhttp.h>

#include "net/ProxyDiscovery.h"
#include "system/OSFunctions_win.h"

namespace orvane {

namespace {

// WinHTTP hands its strings to the caller, who frees them with GlobalFree.
std::string TakeGlobalString(LPWSTR text) {
  if (text == nullptr) return {};
  std::string result = WideToUtf8(text);
  GlobalFree(text);
  return result;
}

class TInternetHandle {
 public:
  explicit TInternetHandle(HINTERNET handle) : handle_(handle) {}
  ~TInternetHandle() {
    if (handle_ != nullptr) WinHttpCloseHandle(handle_);
  }
  TInternetHandle(const TInternetHandle&) = delete;
  TInternetHandle& operator=(const TInternetHandle&) = delete;
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

}  // namespace

std::optional<TIEProxyConfig> ReadDesktopProxySettings() {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie{};
  if (!WinHttpGetIEProxyConfigForCurrentUser(&ie)) return std::nullopt;
  TIEProxyConfig config;
  config.AutoDetect = ie.fAutoDetect != FALSE;
  config.AutoConfigUrl = TakeGlobalString(ie.lpszAutoConfigUrl);
  config.Proxy = TakeGlobalString(ie.lpszProxy);
  config.ProxyBypass = TakeGlobalString(ie.lpszProxyBypass);
  return config;
}

std::optional<TAutoProxyResult> GetProxyForUrl(const std::string& url, const TIEProxyConfig& config) {
  WINHTTP_AUTOPROXY_OPTIONS options{};
  std::wstring script_url;
  if (config.AutoDetect) {
    // A configured script URL is ignored while detecting.
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  } else if (!config.AutoConfigUrl.empty()) {
    script_url = Utf8ToWide(config.AutoConfigUrl);
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = script_url.c_str();
  } else {
    return std::nullopt;  // nothing to ask WinHTTP: go direct
  }
  options.fAutoLogonIfChallenged = FALSE;

  // The agent is what WinHTTP sends when it fetches the script.
  const TInternetHandle session(WinHttpOpen(L"Brenlow OvixGet/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                            WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (session.get() == nullptr) return std::nullopt;

  const std::wstring wide_url = Utf8ToWide(url);
  WINHTTP_PROXY_INFO info{};
  if (!WinHttpGetProxyForUrl(session.get(), wide_url.c_str(), &options, &info)) return std::nullopt;
  TAutoProxyResult result;
  result.AccessType = static_cast<int>(info.dwAccessType);
  result.Proxy = TakeGlobalString(info.lpszProxy);
  result.ProxyBypass = TakeGlobalString(info.lpszProxyBypass);
  // A script naming no plausible proxy counts as a failed script, as on
  // the other platforms: go direct.
  if (result.AccessType == kProxyAccessTypeNamedProxy && !IsPlausibleProxyList(result.Proxy))
    return std::nullopt;
  return result;
}

}  // namespace orvane
