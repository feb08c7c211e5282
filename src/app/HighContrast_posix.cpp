#include "app/HighContrast.h"

#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <string>

namespace orvane {

namespace {

// The theme GTK draws with. GTK is loaded by the toolkit, not linked by us,
// so its settings object is looked up in the running process; without GTK
// the name is empty.
std::string GtkThemeName() {
  if (const char* forced = std::getenv("GTK_THEME"); forced && *forced) return forced;
  using SettingsGetDefault = void* (*)();
  using ObjectGet = void (*)(void*, const char*, ...);
  using Free = void (*)(void*);
  const auto getDefault =
      reinterpret_cast<SettingsGetDefault>(dlsym(RTLD_DEFAULT, "gtk_settings_get_default"));
  const auto objectGet = reinterpret_cast<ObjectGet>(dlsym(RTLD_DEFAULT, "g_object_get"));
  const auto release = reinterpret_cast<Free>(dlsym(RTLD_DEFAULT, "g_free"));
  if (!getDefault || !objectGet || !release) return {};
  void* settings = getDefault();
  if (!settings) return {};
  char* name = nullptr;
  objectGet(settings, "gtk-theme-name", &name, nullptr);
  std::string result = name ? name : "";
  release(name);
  return result;
}

}  // namespace

bool SystemHighContrast() {
  std::string name = GtkThemeName();
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // "HighContrast", "HighContrastInverse", also with a ":dark" variant.
  return name.rfind("highcontrast", 0) == 0;
}

}  // namespace orvane
