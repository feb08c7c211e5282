#include "system/Translate.h"

namespace orvane {

namespace {

TTranslateText& TextLookup() {
  static TTranslateText lookup = nullptr;
  return lookup;
}

TTranslatePlural& PluralLookup() {
  static TTranslatePlural lookup = nullptr;
  return lookup;
}

}  // namespace

void SetTranslator(TTranslateText text, TTranslatePlural plural) {
  TextLookup() = text;
  PluralLookup() = plural;
}

std::string Tr(const char* english) {
  const TTranslateText lookup = TextLookup();
  return lookup ? lookup(english) : std::string(english);
}

std::string TrPlural(const char* singular, const char* plural, unsigned long count) {
  const TTranslatePlural lookup = PluralLookup();
  if (lookup) return lookup(singular, plural, count);
  return count == 1 ? singular : plural;
}

std::string English(const char* english) { return english; }

}  // namespace orvane
