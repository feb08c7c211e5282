// Stand-in for the system proxy discovery until it is built; every test here
// scripts its own discovery answers.
#include "net/ProxyDiscovery.h"

namespace orvane {
std::optional<TIEProxyConfig> GetIEProxyConfigForCurrentUser() { return std::nullopt; }
std::optional<TAutoProxyResult> GetProxyForUrl(const std::string&, const TIEProxyConfig&) {
  return std::nullopt;
}
}  // namespace orvane
