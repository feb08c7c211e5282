// Links to the installed copy of the program, one on the desktop and one in
// the start menu: shell links (.lnk) on Windows, freedesktop desktop entries
// (.desktop) on the desktop and in the applications menu elsewhere.
#pragma once

#include <functional>
#include <string>

#include "system/Translate.h"

namespace orvane {

// What became of one link.
struct TShortcutPlace {
  bool Written = false;
  // No such folder on this system (no desktop folder configured): nothing
  // was tried there.
  bool Skipped = false;
  // The link file written or attempted; empty when skipped.
  std::string Path;
  // Why it could not be written, in plain words; empty otherwise.
  std::string Error;
};

struct TShortcutResult {
  TShortcutPlace Desktop;
  TShortcutPlace StartMenu;
};

// The links' base name: shortcutName with every occurrence of its extension
// (from the last dot on) removed, "OrvaneSupport.exe" -> "OrvaneSupport". A
// name without a dot stays as it is, and so does one that would be left
// empty (".exe").
std::string ShortcutBaseName(const std::string& shortcutName);

// Writes both links, named after ShortcutName's base name, to Target (the
// program) with Target's folder as working directory and Description as
// their comment. Existing links of that name are replaced.
TShortcutResult CreateShortcut(const std::string& ShortcutName, const std::string& Description,
                               const std::string& Target);

// The status-bar text for a result: the success text when both links were
// written, else where they went and what failed. tr gives the language: the
// shown one, or English for the log.
std::string ShortcutStatusText(const TShortcutResult& result, TTranslateText tr = Tr);

// Desktop entries name a picture file; the program's logo is drawn by the
// toolkit, so the application installs a source of it as PNG bytes at
// start-up. Without one (or when it gives nothing) the entries carry no
// picture. Shell links take their picture from the program itself.
using TLogoPngSource = std::function<std::string()>;
void SetShortcutLogoSource(TLogoPngSource source);
std::string ShortcutLogoPng();

}  // namespace orvane
