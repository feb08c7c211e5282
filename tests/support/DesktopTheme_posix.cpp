#include <dlfcn.h>

#include <cstdlib>

#include "support/DesktopTheme.h"

namespace orvane::test {

// GTK's theme setting, which a desktop's settings daemon changes in the same
// way; GTK then restyles every window and the toolkit reports a system
// colour change. GTK is loaded by the toolkit and looked up in the process.
// GTK_THEME in the environment would pin the theme.
std::optional<std::string> SwitchDesktopTheme(const std::string& name) {
  if (const char* pinned = std::getenv("GTK_THEME"); pinned && *pinned) return std::nullopt;
  using SettingsGetDefault = void* (*)();
  using ObjectGet = void (*)(void*, const char*, ...);
  using ObjectSet = void (*)(void*, const char*, ...);
  using Free = void (*)(void*);
  const auto getDefault =
      reinterpret_cast<SettingsGetDefault>(dlsym(RTLD_DEFAULT, "gtk_settings_get_default"));
  const auto objectGet = reinterpret_cast<ObjectGet>(dlsym(RTLD_DEFAULT, "g_object_get"));
  const auto objectSet = reinterpret_cast<ObjectSet>(dlsym(RTLD_DEFAULT, "g_object_set"));
  const auto release = reinterpret_cast<Free>(dlsym(RTLD_DEFAULT, "g_free"));
  if (!getDefault || !objectGet || !objectSet || !release) return std::nullopt;
  void* settings = getDefault();
  if (!settings) return std::nullopt;
  char* before = nullptr;
  objectGet(settings, "gtk-theme-name", &before, nullptr);
  std::string previous = before ? before : "";
  release(before);
  objectSet(settings, "gtk-theme-name", name.c_str(), nullptr);
  return previous;
}

}  // namespace orvane::test
