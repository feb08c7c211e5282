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

// One question to WinHTTP; ERROR_SUCCESS or why it failed. A script server
// that asks for the Windows logon gets it on a second try, and only then,
// so that no credentials go out to a server that does not ask for them.
DWORD AskForProxy(HINTERNET session, const std::wstring& url, WINHTTP_AUTOPROXY_OPTIONS options,
                  WINHTTP_PROXY_INFO& info) {
  options.fAutoLogonIfChallenged = FALSE;
  if (WinHttpGetProxyForUrl(session, url.c_str(), &options, &info)) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  if (error != ERROR_WINHTTP_LOGIN_FAILURE) return error;
  options.fAutoLogonIfChallenged = TRUE;
  if (WinHttpGetProxyForUrl(session, url.c_str(), &options, &info)) return ERROR_SUCCESS;
  return GetLastError();
}

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
  if (!config.AutoDetect && config.AutoConfigUrl.empty()) return std::nullopt;  // nothing to ask: go direct

  // The agent is what WinHTTP sends when it fetches the script.
  const TInternetHandle session(WinHttpOpen(L"Brenlow OvixGet/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                            WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (session.get() == nullptr) return std::nullopt;

  const std::wstring wide_url = Utf8ToWide(url);
  WINHTTP_PROXY_INFO info{};
  DWORD error = ERROR_WINHTTP_AUTODETECTION_FAILED;  // detection off finds no script either
  if (config.AutoDetect) {
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    error = AskForProxy(session.get(), wide_url, options, info);
  }
  // The configured script follows when detection found no script: Windows
  // 10 and 11 leave detection on by default, and a script URL set by group
  // policy must still count where no WPAD server answers. Both are asked one
  // after the other rather than in one call, which not every WinHTTP
  // implementation chains.
  if (!config.AutoConfigUrl.empty() &&
      (error == ERROR_WINHTTP_AUTODETECTION_FAILED || error == ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT)) {
    const std::wstring script_url = Utf8ToWide(config.AutoConfigUrl);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = script_url.c_str();
    error = AskForProxy(session.get(), wide_url, options, info);
  }
  if (error != ERROR_SUCCESS) return std::nullopt;

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
