// The shortcut button of the assistant window: the running program is
// copied into the configuration folder, and links to that copy are put on
// the desktop and into the start menu.
#include "app/Shortcuts.h"

#include <utility>

#include "app/MainForm.h"
#include "logging/Logging.h"
#include "system/SysUtils.h"

namespace orvane {

namespace {

constexpr char kShortcutDescription[] = "Orvane Support Assistant";
constexpr char kConfigSubfolder[] = "RemoteSupport";
constexpr char kNotCreated[] = TR_NOOP("Shortcut not created: ");

void Debug(const std::string& text) {
  if (Logger) Logger->Debug(text);
}

TLogoPngSource& LogoSource() {
  static TLogoPngSource source;
  return source;
}

}  // namespace

std::string ShortcutBaseName(const std::string& shortcutName) {
  const auto dot = shortcutName.rfind('.');
  if (dot == std::string::npos) return shortcutName;
  const std::string extension = shortcutName.substr(dot);
  std::string base = shortcutName;
  for (auto pos = base.find(extension); pos != std::string::npos; pos = base.find(extension, pos))
    base.erase(pos, extension.size());
  // A link without a name would be a hidden file called ".lnk".
  return base.empty() ? shortcutName : base;
}

std::string ShortcutStatusText(const TShortcutResult& result, TTranslateText tr) {
  const TShortcutPlace& desk = result.Desktop;
  const TShortcutPlace& menu = result.StartMenu;
  if (desk.Written && menu.Written)
    return tr(TR_NOOP("Shortcut created on the desktop and in the start menu"));
  if (desk.Written) {
    if (menu.Skipped) return tr(TR_NOOP("Shortcut created on the desktop (no start menu folder found)"));
    return tr(TR_NOOP("Shortcut created on the desktop, but not in the start menu: ")) + menu.Error;
  }
  if (menu.Written) {
    if (desk.Skipped) return tr(TR_NOOP("Shortcut created in the start menu (no desktop folder found)"));
    return tr(TR_NOOP("Shortcut created in the start menu, but not on the desktop: ")) + desk.Error;
  }
  if (desk.Skipped && menu.Skipped)
    return tr(TR_NOOP("Shortcut not created: no desktop or start menu folder found"));
  const std::string notCreated = tr(kNotCreated);
  if (desk.Skipped) return notCreated + menu.Error;
  if (menu.Skipped || desk.Error == menu.Error) return notCreated + desk.Error;
  return notCreated + desk.Error + "; " + menu.Error;
}

void SetShortcutLogoSource(TLogoPngSource source) { LogoSource() = std::move(source); }

std::string ShortcutLogoPng() {
  const TLogoPngSource& source = LogoSource();
  return source ? source() : std::string();
}

// Links are written only once the copy is in place, so they never point at
// a missing file; the outcome is shown in the status bar.
void TMainForm::btnInstallShortcutClick() {
  const std::string exe = fLaunch->GetExecutablePath();
  const std::string folder = fLaunch->GetConfigPath(kConfigSubfolder);
  if (exe.empty() || folder.empty()) {
    ShowStatus(exe.empty() ? Tr("Shortcut not created: the program's own file could not be found")
                           : Tr("Shortcut not created: no folder for the program's copy is known"),
               kStatusDelayMs);
    return;
  }
  const auto slash = exe.find_last_of(PathDelimiters);
  const std::string fileName = slash == std::string::npos ? exe : exe.substr(slash + 1);
  const std::string destination = folder + fileName;

  if (fLaunch->IsSameFile(exe, destination)) {
    Debug("Shortcut: running from the installed copy " + destination);
  } else {
    Debug("Shortcut: copy " + exe + " to " + destination);
    const std::string error = fLaunch->CopyProgram(exe, destination);
    if (!error.empty()) {
      Debug("Shortcut: " + error);
      ShowStatus(Tr(kNotCreated) + error, kStatusDelayMs);
      return;
    }
  }
  const TShortcutResult result = fLaunch->CreateShortcut(fileName, kShortcutDescription, destination);
  // The log keeps the English text.
  Debug("Shortcut: " + ShortcutStatusText(result, English));
  ShowStatus(ShortcutStatusText(result), kStatusDelayMs);
}

}  // namespace orvane
