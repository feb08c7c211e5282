// Reading the desktop's proxy settings from GNOME's org.gnome.system.proxy
// schema through GIO.
#pragma once

#include <optional>

#include "net/ProxyDiscovery.h"

// GIO's own opaque types, declared as GIO declares them so that this header
// does not pull in all of GIO.
typedef struct _GSettingsSchemaSource GSettingsSchemaSource;
typedef struct _GSettingsBackend GSettingsBackend;

namespace orvane {

// The settings found through source and backend (nullptr backend: the
// default one). No source, or no proxy schema in it, gives nullopt; the
// schema is looked up first because GSettings ends the process on a schema
// or key it does not know.
//   mode "auto", empty autoconfig-url  -> AutoDetect
//   mode "auto", autoconfig-url set    -> AutoConfigUrl
//   mode "manual"                      -> Proxy ("http=host:port;https=...")
//                                         and ProxyBypass (ignore-hosts, ";")
//   mode "none" or anything else       -> nothing on
std::optional<TIEProxyConfig> ReadGnomeProxySettings(GSettingsSchemaSource* source,
                                                     GSettingsBackend* backend);

}  // namespace orvane
