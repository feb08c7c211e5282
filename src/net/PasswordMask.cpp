#include "net/PasswordMask.h"

#include <algorithm>

namespace orvane {

std::string MaskUrlPassword(std::string_view url) {
  const std::size_t scheme = url.find("://");
  const std::size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
  const std::size_t at = url.rfind('@');
  if (at == std::string_view::npos || at < start) return std::string(url);
  const std::size_t colon = url.find(':', start);
  if (colon == std::string_view::npos || colon > at) return std::string(url);
  return std::string(url.substr(0, colon + 1)) + kPasswordMask + std::string(url.substr(at));
}

namespace {

// Masks the passwords of one blank-free word, from its last "@" leftwards:
// each "@" ends the user information of a URL that begins after the nearest
// "://" before it (or at the word's start). Separators such as ";", ",",
// quotes or a further "@" inside a password stay inside what is masked;
// the worst a list without schemes can cost is a neighbour's port.
std::string MaskWord(std::string word) {
  std::size_t end = word.size();
  while (end > 0) {
    const std::size_t at = word.rfind('@', end - 1);
    if (at == std::string::npos) break;
    const std::size_t scheme = word.rfind("://", at);
    const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const std::size_t colon = word.find(':', start);
    if (colon < at) word.replace(colon + 1, at - colon - 1, kPasswordMask);
    end = start;
  }
  return word;
}

}  // namespace

std::string MaskPasswordsInText(std::string_view text) {
  static constexpr std::string_view kBlanks = " \t\r\n";
  std::string masked;
  masked.reserve(text.size());
  while (!text.empty()) {
    const std::size_t end = std::min(text.find_first_of(kBlanks), text.size());
    masked += MaskWord(std::string(text.substr(0, end)));
    if (end == text.size()) break;
    masked += text[end];
    text.remove_prefix(end + 1);
  }
  return masked;
}

}  // namespace orvane
