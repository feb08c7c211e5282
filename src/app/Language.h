// The language the window is shown in. By default it is the user's UI
// language (English when there is no catalog for it); support staff can ask
// for another with --Language=<code>, for example --Language=en to read a
// customer's window in English or --Language=de to see it in German.
#pragma once

#include <string>

namespace orvane {

class TCmdLineParaHandler;

// The command-line key (--Language=<code>).
inline constexpr char kLanguageKey[] = "Language";

// The language asked for on the command line: a code such as "de", "en" or
// "de_AT", written in the catalog's form (language lower case, region upper
// case); empty when none was asked for or the value is no language code.
std::string RequestedLanguage(TCmdLineParaHandler& handler);

// True when the command line holds the language switch and nothing else: the
// window then starts as without arguments.
bool OnlyLanguageRequested(TCmdLineParaHandler& handler);

}  // namespace orvane
