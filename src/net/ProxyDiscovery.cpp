#include "net/ProxyDiscovery.h"

namespace orvane {

namespace {
IProxySettingsSource* settings_source = nullptr;
}  // namespace

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
