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

std::string MaskPasswordsInText(std::string_view text) {
  static constexpr std::string_view kWordEnds = " \t\r\n;,\"'()<>";
  std::string masked;
  masked.reserve(text.size());
  while (!text.empty()) {
    const std::size_t end = std::min(text.find_first_of(kWordEnds), text.size());
    const std::string_view word = text.substr(0, end);
    if (word.find('@') != std::string_view::npos) {
      masked += MaskUrlPassword(word);
    } else {
      masked += word;
    }
    if (end == text.size()) break;
    masked += text[end];
    text.remove_prefix(end + 1);
  }
  return masked;
}

}  // namespace orvane
