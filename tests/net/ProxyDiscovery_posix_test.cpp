#include "net/ProxyDiscovery.h"

#include <gio/gio.h>
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gsettingsbackend.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "net/GnomeProxySettings.h"
#include "net/Wpad.h"
#include "support/TestSupport.h"

namespace orvane {
namespace {

// The part of GNOME's proxy schema the reader uses; ftp and socks are left
// out on purpose: missing schemas must be passed over, not end the process.
constexpr const char kProxySchemaXml[] = R"(<schemalist>
  <enum id="org.gnome.system.proxy.ProxyMode">
    <value nick="none" value="0"/><value nick="manual" value="1"/><value nick="auto" value="2"/>
  </enum>
  <schema id="org.gnome.system.proxy" path="/system/proxy/">
    <child name="http" schema="org.gnome.system.proxy.http"/>
    <child name="https" schema="org.gnome.system.proxy.https"/>
    <key name="mode" enum="org.gnome.system.proxy.ProxyMode"><default>'none'</default></key>
    <key name="autoconfig-url" type="s"><default>''</default></key>
    <key name="ignore-hosts" type="as"><default>['localhost', '127.0.0.0/8', '::1']</default></key>
  </schema>
  <schema id="org.gnome.system.proxy.http" path="/system/proxy/http/">
    <key name="host" type="s"><default>''</default></key>
    <key name="port" type="i"><default>8080</default></key>
  </schema>
  <schema id="org.gnome.system.proxy.https" path="/system/proxy/https/">
    <key name="host" type="s"><default>''</default></key>
    <key name="port" type="i"><default>0</default></key>
  </schema>
</schemalist>
)";

constexpr const char kOtherSchemaXml[] = R"(<schemalist>
  <schema id="org.example.unrelated" path="/org/example/unrelated/">
    <key name="mode" type="s"><default>'auto'</default></key>
  </schema>
</schemalist>
)";

// A compiled schema folder holding one schema file, read through a memory
// backend so that nothing of the machine's own settings is involved.
class TSchemaFolder {
 public:
  explicit TSchemaFolder(const std::string& xml) {
    test::WriteFileBytes(dir_ / "test.gschema.xml", xml);
    const std::string command = "glib-compile-schemas " + dir_.path().string();
    compiled_ = std::system(command.c_str()) == 0;
    if (compiled_)
      source_ = g_settings_schema_source_new_from_directory(dir_.path().c_str(), nullptr, TRUE, nullptr);
    backend_ = g_memory_settings_backend_new();
  }
  ~TSchemaFolder() {
    if (source_ != nullptr) g_settings_schema_source_unref(source_);
    g_object_unref(backend_);
  }
  TSchemaFolder(const TSchemaFolder&) = delete;
  TSchemaFolder& operator=(const TSchemaFolder&) = delete;

  bool Ready() const { return source_ != nullptr; }

  void Set(const char* schema_id, const char* key, GVariant* value) {
    GSettingsSchema* schema = g_settings_schema_source_lookup(source_, schema_id, FALSE);
    GSettings* settings = g_settings_new_full(schema, backend_, nullptr);
    EXPECT_TRUE(g_settings_set_value(settings, key, value)) << schema_id << " " << key;
    g_object_unref(settings);
    g_settings_schema_unref(schema);
  }

  std::optional<TIEProxyConfig> Read() { return ReadGnomeProxySettings(source_, backend_); }

 private:
  test::TempDir dir_;
  bool compiled_ = false;
  GSettingsSchemaSource* source_ = nullptr;
  GSettingsBackend* backend_ = nullptr;
};

TEST(ProxyDiscovery, GnomeSettingsMapToTheProxyConfig) {
  struct TCase {
    const char* mode;
    const char* autoconfig_url;
    bool auto_detect;
    const char* script_url;
  };
  const TCase cases[] = {
      {"auto", "", true, ""},
      {"auto", " http://pac.corp/proxy.pac ", false, "http://pac.corp/proxy.pac"},
      {"none", "http://pac.corp/proxy.pac", false, ""},
      {"manual", "http://pac.corp/proxy.pac", false, ""},
  };
  for (const TCase& c : cases) {
    TSchemaFolder folder(kProxySchemaXml);
    if (!folder.Ready()) GTEST_SKIP() << "glib-compile-schemas is not available";
    folder.Set("org.gnome.system.proxy", "mode", g_variant_new_string(c.mode));
    folder.Set("org.gnome.system.proxy", "autoconfig-url", g_variant_new_string(c.autoconfig_url));
    const std::optional<TIEProxyConfig> config = folder.Read();
    ASSERT_TRUE(config) << c.mode;
    EXPECT_EQ(config->AutoDetect, c.auto_detect) << c.mode << " " << c.autoconfig_url;
    EXPECT_EQ(config->AutoConfigUrl, c.script_url) << c.mode << " " << c.autoconfig_url;
    EXPECT_EQ(config->Proxy, "") << c.mode;
  }
}

TEST(ProxyDiscovery, GnomeManualProxyIsReadForTracingOnly) {
  TSchemaFolder folder(kProxySchemaXml);
  if (!folder.Ready()) GTEST_SKIP() << "glib-compile-schemas is not available";
  folder.Set("org.gnome.system.proxy", "mode", g_variant_new_string("manual"));
  folder.Set("org.gnome.system.proxy.http", "host", g_variant_new_string("proxy.corp"));
  folder.Set("org.gnome.system.proxy.http", "port", g_variant_new_int32(3128));
  folder.Set("org.gnome.system.proxy.https", "host", g_variant_new_string("secure.corp"));
  const std::optional<TIEProxyConfig> config = folder.Read();
  ASSERT_TRUE(config);
  EXPECT_FALSE(config->AutoDetect);
  EXPECT_EQ(config->AutoConfigUrl, "");
  EXPECT_EQ(config->Proxy, "http=proxy.corp:3128;https=secure.corp");
  EXPECT_EQ(config->ProxyBypass, "localhost;127.0.0.0/8;::1");
}

TEST(ProxyDiscovery, NoGnomeSchemaMeansNoSettings) {
  TSchemaFolder folder(kOtherSchemaXml);
  if (!folder.Ready()) GTEST_SKIP() << "glib-compile-schemas is not available";
  EXPECT_FALSE(folder.Read());
  EXPECT_FALSE(ReadGnomeProxySettings(nullptr, nullptr));
}

class TFixedSettings : public IProxySettingsSource {
 public:
  explicit TFixedSettings(std::optional<TIEProxyConfig> config) : config_(std::move(config)) {}
  std::optional<TIEProxyConfig> Read() override { return config_; }

 private:
  std::optional<TIEProxyConfig> config_;
};

TEST(ProxyDiscovery, PublicFunctionsUseTheProcessWideSourceAndSeams) {
  const test::TempDir dir;
  test::WriteFileBytes(dir / "proxy.pac",
                       "function FindProxyForURL(u, h) { return isInNet(h, '10.0.0.0', '255.0.0.0')"
                       " ? 'DIRECT' : 'PROXY proxy1:8080'; }");
  TIEProxyConfig settings;
  settings.AutoConfigUrl = "file://" + (dir / "proxy.pac").string();
  TFixedSettings source(settings);
  IProxySettingsSource* previous = SetProxySettingsSource(&source);
  TScriptDiscoverySeams seams;
  seams.Pac.ResolveIPv4 = [](const std::string& host) -> std::optional<std::string> {
    if (host == "intranet.corp") return "10.1.2.3";
    return std::nullopt;
  };
  SetScriptDiscoverySeams(seams);

  const std::optional<TIEProxyConfig> config = GetIEProxyConfigForCurrentUser();
  ASSERT_TRUE(config);
  EXPECT_EQ(config->AutoConfigUrl, settings.AutoConfigUrl);
  const auto inside = GetProxyForUrl("http://intranet.corp/x", *config);
  const auto outside = GetProxyForUrl("http://downloads.example.invalid/x", *config);

  SetScriptDiscoverySeams({});
  EXPECT_EQ(SetProxySettingsSource(previous), &source);
  ASSERT_TRUE(inside && outside);
  EXPECT_EQ(inside->AccessType, kProxyAccessTypeNoProxy);
  EXPECT_EQ(outside->AccessType, kProxyAccessTypeNamedProxy);
  EXPECT_EQ(outside->Proxy, "proxy1:8080");
}

}  // namespace
}  // namespace orvane
