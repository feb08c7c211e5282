// Asking the system which proxy a URL should go through.
//
// Two steps, mirroring the Windows API the Win32 variant uses:
//   1. the current user's proxy settings (automatic detection on/off,
//      auto-configuration script URL, static proxy and bypass list);
//   2. for one URL, the proxy that automatic detection (WPAD) or the script
//      yields.
// The HTTP GET decides what to do with the answers; it never uses the static
// proxy. Any failure here means "go direct".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane {

struct TIEProxyConfig {
  bool AutoDetect = false;
  std::string AutoConfigUrl;
  std::string Proxy;
  std::string ProxyBypass;
};

inline constexpr int kProxyAccessTypeNoProxy = 1;
inline constexpr int kProxyAccessTypeNamedProxy = 3;

struct TAutoProxyResult {
  int AccessType = 0;  // kProxyAccessTypeNoProxy or kProxyAccessTypeNamedProxy
  std::string Proxy;   // "host:port" entries separated by ";" or blanks (named proxy only)
  std::string ProxyBypass;
};

// Whether entry reads as one proxy address: "host" or "host:port", optionally
// with user information in front ("user:password@host:port"). The host is a
// name of at most 253 letters, digits, "-", "_" and "." or an IPv6 address in
// square brackets; a port, when given, is 1 to 65535. A script answer naming
// anything else (a host of a megabyte, characters no host name has, port
// 70000) counts as a failed script.
bool IsPlausibleProxyAddress(std::string_view entry);

// The same for every entry of a proxy list as automatic detection yields it
// ("a:1;b:2", entries separated by ";" or blanks, each optionally with
// "http://" or "https://" in front); false for a list without entries.
bool IsPlausibleProxyList(std::string_view list);

// The current user's proxy settings; nullopt when there are none to read.
std::optional<TIEProxyConfig> GetIEProxyConfigForCurrentUser();

// The proxy for url according to config: automatic detection first; the
// script URL when detection is off or finds no script; with neither, or when
// the script fails, nullopt.
std::optional<TAutoProxyResult> GetProxyForUrl(const std::string& url, const TIEProxyConfig& config);

// Where GetIEProxyConfigForCurrentUser takes the settings from when a source
// is set; tests supply their own instead of the machine's.
class IProxySettingsSource {
 public:
  virtual ~IProxySettingsSource() = default;
  virtual std::optional<TIEProxyConfig> Read() = 0;
};

// Sets the process-wide source (not owned; nullptr restores the desktop's
// settings) and returns the previous one.
IProxySettingsSource* SetProxySettingsSource(IProxySettingsSource* source);

// The desktop's own settings, whatever source is set: on Linux the GNOME
// proxy settings, on Windows the Internet options.
std::optional<TIEProxyConfig> ReadDesktopProxySettings();

}  // namespace orvane
