#include "net/ManualProxyEntry.h"

#include <stdexcept>
#include <string_view>

#include "net/PasswordMask.h"

namespace orvane {

namespace {

[[noreturn]] void ThrowInvalid(const std::string& entry) {
  throw std::runtime_error("Invalid proxy address: " + MaskUrlPassword(entry));
}

}  // namespace

TManualProxyEntry ParseManualProxyEntry(const std::string& entry) {
  static constexpr std::string_view kPrefix = "http://";
  const std::string url = entry.starts_with(kPrefix) ? entry : std::string(kPrefix) + entry;
  std::string_view authority = std::string_view(url).substr(kPrefix.size());
  authority = authority.substr(0, authority.find('/'));

  TManualProxyEntry result;
  if (auto at = authority.rfind('@'); at != std::string_view::npos) {
    const std::string_view userInfo = authority.substr(0, at);
    authority.remove_prefix(at + 1);
    const auto colon = userInfo.find(':');
    result.User = userInfo.substr(0, colon);
    // A password without a user name means nothing to the proxy.
    if (colon != std::string_view::npos && !result.User.empty()) result.Password = userInfo.substr(colon + 1);
  }

  std::string_view port;
  if (authority.starts_with('[')) {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) ThrowInvalid(entry);
    result.Host = authority.substr(1, close - 1);
    std::string_view rest = authority.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(':')) ThrowInvalid(entry);
    if (!rest.empty()) port = rest.substr(1);
  } else {
    const auto colon = authority.find(':');
    result.Host = authority.substr(0, colon);
    if (colon != std::string_view::npos) port = authority.substr(colon + 1);
  }
  if (port.empty()) throw std::runtime_error(kNoProxyPortMessage);
  if (result.Host.empty()) throw std::runtime_error(kNoProxyHostMessage);
  result.Port = port;
  return result;
}

}  // namespace orvane
