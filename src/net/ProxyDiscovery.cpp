#include "net/ProxyDiscovery.h"

#include <algorithm>

namespace orvane {

namespace {
IProxySettingsSource* settings_source = nullptr;

bool IsHostNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.';
}

bool IsIPv6Char(char c) {
  return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') || c == ':' || c == '.';
}

bool IsPlausiblePort(std::string_view port) {
  if (port.empty() || port.size() > 5) return false;
  unsigned value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value >= 1 && value <= 65535;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsPlausibleProxyAddress(std::string_view entry) {
  constexpr std::size_t kMaxHostName = 253;
  constexpr std::size_t kMaxUserInfo = 256;
  if (const std::size_t at = entry.rfind('@'); at != std::string_view::npos) {
    const std::string_view userInfo = entry.substr(0, at);
    if (userInfo.size() > kMaxUserInfo) return false;
    for (char c : userInfo)
      if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == ';' || c == 0x7f) return false;
    entry.remove_prefix(at + 1);
  }
  std::string_view host;
  std::string_view rest;
  if (entry.starts_with('[')) {
    const std::size_t close = entry.find(']');
    if (close == std::string_view::npos || close < 3 || close > 46) return false;
    host = entry.substr(1, close - 1);
    rest = entry.substr(close + 1);
    for (char c : host)
      if (!IsIPv6Char(c)) return false;
  } else {
    const std::size_t colon = entry.find(':');
    host = entry.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : entry.substr(colon);
    if (host.empty() || host.size() > kMaxHostName) return false;
    for (char c : host)
      if (!IsHostNameChar(c)) return false;
  }
  if (rest.empty()) return true;  // no port: the request decides
  return rest.front() == ':' && IsPlausiblePort(rest.substr(1));
}

bool IsPlausibleProxyList(std::string_view list) {
  constexpr std::string_view kSeparators = "; \t\r\n";
  bool any = false;
  while (!list.empty()) {
    const std::size_t end = std::min(list.find_first_of(kSeparators), list.size());
    std::string_view entry = list.substr(0, end);
    list.remove_prefix(end == list.size() ? end : end + 1);
    if (entry.empty()) continue;
    for (std::string_view scheme : {"http://", "https://"}) {
      if (StartsWithNoCase(entry, scheme)) {
        entry.remove_prefix(scheme.size());
        break;
      }
    }
    if (!IsPlausibleProxyAddress(entry)) return false;
    any = true;
  }
  return any;
}

IProxySettingsSource* SetProxySettingsSource(IProxySettingsSource* source) {
  IProxySettingsSource* previous = settings_source;
  settings_source = source;
  return previous;
}

std::optional<TIEProxyConfig> GetIEProxyConfigForCurrentUser() {
  if (settings_source != nullptr) return settings_source->Read();
  return ReadDesktopProxySettings();
}

}  // namespace orvane
