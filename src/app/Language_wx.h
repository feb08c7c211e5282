// The toolkit's gettext catalogs for the window, its boxes and the help
// dialog: the program's own ("orvanesupport") and the toolkit's ("wxstd",
// for its standard buttons).
//
// Where the catalogs are found: on Windows inside the program (resources of
// type MOFILE named "<domain>_<language>"); elsewhere in "locale" beside the
// program (the build tree), in "../share/locale" from it (the installed
// layout) and in the system's locale folders.
#pragma once

#include <string>

namespace orvane {

// The catalog domain of the program's own texts.
inline constexpr char kCatalogDomain[] = "orvanesupport";

// Shows texts in language ("de", "en"; empty: the user's UI language) from
// now on, English where a catalog lacks a text; the toolkit-free units get
// the same lookup (system/Translate.h).
void InstallTranslations(const std::string& language);

// Back to the English source texts.
void RemoveTranslations();

}  // namespace orvane
