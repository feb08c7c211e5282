#include "app/Language.h"

#include <cctype>

#include "cmdline/CmdLineParaHandler.h"

namespace orvane {

namespace {

bool AllLetters(const std::string& text) {
  for (const char c : text)
    if (!std::isalpha(static_cast<unsigned char>(c))) return false;
  return true;
}

std::string Cased(std::string text, int (*convert)(int)) {
  for (char& c : text) c = static_cast<char>(convert(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string RequestedLanguage(TCmdLineParaHandler& handler) {
  if (!handler.IsKeyAvailable(kLanguageKey, "")) return {};
  const std::string value = handler.GetValueAsStr(kLanguageKey, "");
  // Language and optional region ("de", "de_AT", "de-AT"); anything else
  // (a path, a locale with a code set) is no code a catalog is named by.
  const auto split = value.find_first_of("_-");
  const std::string language = value.substr(0, split);
  const std::string region = split == std::string::npos ? std::string() : value.substr(split + 1);
  if (language.size() < 2 || language.size() > 3 || !AllLetters(language)) return {};
  if (split == std::string::npos) return Cased(language, [](int c) { return std::tolower(c); });
  if (region.size() != 2 || !AllLetters(region)) return {};
  return Cased(language, [](int c) { return std::tolower(c); }) + "_" +
         Cased(region, [](int c) { return std::toupper(c); });
}

bool OnlyLanguageRequested(TCmdLineParaHandler& handler) {
  return handler.GetNumberOfArgs() == 1 && handler.IsKeyAvailable(kLanguageKey, "");
}

}  // namespace orvane
