// Proxy discovery on Linux: the GNOME proxy settings stand in for the
// Internet options, WPAD by DNS and a PAC engine for WinHTTP.
#include <gio/gio.h>

#include <memory>
#include <vector>

#include "net/GnomeProxySettings.h"
#include "net/ProxyDiscovery.h"
#include "net/Wpad.h"

namespace orvane {

namespace {

constexpr const char kProxySchema[] = "org.gnome.system.proxy";

struct TUnref {
  void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
  void operator()(GSettings* settings) const { g_object_unref(settings); }
  void operator()(GVariant* value) const { g_variant_unref(value); }
};
using TSchemaPtr = std::unique_ptr<GSettingsSchema, TUnref>;
using TSettingsPtr = std::unique_ptr<GSettings, TUnref>;
using TVariantPtr = std::unique_ptr<GVariant, TUnref>;

// One schema's settings, reading only keys the schema has and values of the
// expected type, so that an older or changed schema cannot end the process.
class TSchemaReader {
 public:
  TSchemaReader(GSettingsSchemaSource* source, const std::string& id, GSettingsBackend* backend) {
    schema_.reset(g_settings_schema_source_lookup(source, id.c_str(), TRUE));
    if (schema_ && g_settings_schema_get_path(schema_.get()) != nullptr) {
      settings_.reset(g_settings_new_full(schema_.get(), backend, nullptr));
    }
  }

  bool Valid() const { return settings_ != nullptr; }

  std::string String(const char* key) const {
    const TVariantPtr value = Value(key, G_VARIANT_TYPE_STRING);
    return value ? g_variant_get_string(value.get(), nullptr) : "";
  }

  int Int(const char* key) const {
    const TVariantPtr value = Value(key, G_VARIANT_TYPE_INT32);
    return value ? g_variant_get_int32(value.get()) : 0;
  }

  std::vector<std::string> Strings(const char* key) const {
    std::vector<std::string> list;
    const TVariantPtr value = Value(key, G_VARIANT_TYPE_STRING_ARRAY);
    if (!value) return list;
    for (gsize i = 0; i < g_variant_n_children(value.get()); ++i) {
      const TVariantPtr item(g_variant_get_child_value(value.get(), i));
      list.emplace_back(g_variant_get_string(item.get(), nullptr));
    }
    return list;
  }

 private:
  TVariantPtr Value(const char* key, const GVariantType* type) const {
    if (!Valid() || !g_settings_schema_has_key(schema_.get(), key)) return nullptr;
    TVariantPtr value(g_settings_get_value(settings_.get(), key));
    if (!value || !g_variant_is_of_type(value.get(), type)) return nullptr;
    return value;
  }

  TSchemaPtr schema_;
  TSettingsPtr settings_;
};

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

std::optional<TIEProxyConfig> ReadGnomeProxySettings(GSettingsSchemaSource* source,
                                                     GSettingsBackend* backend) {
  if (source == nullptr) return std::nullopt;
  const TSchemaReader proxy(source, kProxySchema, backend);
  if (!proxy.Valid()) return std::nullopt;

  TIEProxyConfig config;
  const std::string mode = proxy.String("mode");
  if (mode == "auto") {
    config.AutoConfigUrl = Trimmed(proxy.String("autoconfig-url"));
    config.AutoDetect = config.AutoConfigUrl.empty();
  } else if (mode == "manual") {
    for (const char* kind : {"http", "https", "ftp", "socks"}) {
      const TSchemaReader server(source, std::string(kProxySchema) + "." + kind, backend);
      const std::string host = server.String("host");
      if (host.empty()) continue;
      if (!config.Proxy.empty()) config.Proxy += ';';
      config.Proxy += std::string(kind) + "=" + host;
      if (const int port = server.Int("port"); port > 0) {
        config.Proxy += ':';
        config.Proxy += std::to_string(port);
      }
    }
    for (const std::string& host : proxy.Strings("ignore-hosts")) {
      if (!config.ProxyBypass.empty()) config.ProxyBypass += ';';
      config.ProxyBypass += host;
    }
  }
  return config;
}

std::optional<TIEProxyConfig> ReadDesktopProxySettings() {
  return ReadGnomeProxySettings(g_settings_schema_source_get_default(), nullptr);
}

std::optional<TAutoProxyResult> GetProxyForUrl(const std::string& url, const TIEProxyConfig& config) {
  return DiscoverProxyForUrl(url, config, ScriptDiscoverySeams());
}

}  // namespace orvane
