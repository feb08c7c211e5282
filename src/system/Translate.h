// Texts a person reads, in the language the program shows.
//
// The units that build texts for the window and its boxes stay free of the
// toolkit: they pass each English source text through Tr (or TrPlural where
// a number decides the form), and the toolkit layer installs the catalog
// lookup at start-up. Until then, and whenever no catalog has the text, the
// English source text comes back unchanged.
//
// Texts that files, logs, syslog or peers read are never passed through Tr.
// TR_NOOP marks a text for the catalog where it is defined (a constant) without
// translating it there; the place that shows it calls Tr.
#pragma once

#include <string>

#define TR_NOOP(text) text

namespace orvane {

using TTranslateText = std::string (*)(const char* english);
using TTranslatePlural = std::string (*)(const char* singular, const char* plural, unsigned long count);

// Installs the lookups; null for either goes back to the English texts.
void SetTranslator(TTranslateText text, TTranslatePlural plural);

// The text in the shown language.
std::string Tr(const char* english);
// singular or plural by count (English rules), in the shown language and its
// own plural rules.
std::string TrPlural(const char* singular, const char* plural, unsigned long count);
// The English source text itself: where a text built for the window also
// goes into a log line, the line is built with this in place of Tr.
std::string English(const char* english);

}  // namespace orvane
