// Feeds arbitrary bytes to the RTF to HTML converter. Whatever the input, the
// page must be well formed in the converter's own terms: every tag is one the
// converter writes, tags nest, text carries only the converter's entities,
// the page grows at most linearly with the input and is UTF-8. Input without
// RTF syntax is plain text, and UTF-8 text must come out exactly as it is.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cmdline/RtfToHtml.h"
#include "system/Utf8.h"

namespace {

constexpr std::string_view kHead = "<html><head></head><body>";
constexpr std::string_view kTail = "</body></html>";

// The costliest input is "\\\n" (a paragraph, two bytes) in a run with a
// colour, the largest size, bold and italic: about 92 bytes of page.
constexpr std::size_t kBytesPerInputByte = 64;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f'); }

bool IsUtf8(std::string_view text) {
  char32_t cp;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t n = orvane::DecodeUtf8(text, pos, cp);
    if (n == 0) return false;
    pos += n;
  }
  return true;
}

// Reads the tag at body[pos] (a '<'); returns its length, 0 if it is none of
// ours. Opening tags are pushed on open, closing tags must match its top.
std::size_t ReadTag(std::string_view body, std::size_t pos, std::vector<std::string_view>& open) {
  const std::string_view rest = body.substr(pos);
  for (std::string_view simple : {"<br>", "<b>", "<i>"}) {
    if (!rest.starts_with(simple)) continue;
    if (simple != "<br>") open.push_back(simple.substr(1, 1));
    return simple.size();
  }
  for (std::string_view name : {"b", "i", "span", "font"}) {
    const std::string close = "</" + std::string(name) + ">";
    if (!rest.starts_with(close)) continue;
    if (open.empty() || open.back() != name) return 0;
    open.pop_back();
    return close.size();
  }
  constexpr std::string_view span = "<span style=\"font-size:";
  if (rest.starts_with(span)) {
    std::size_t n = span.size();
    const std::size_t digits = n;
    while (n < rest.size() && IsDigit(rest[n])) ++n;
    if (n == digits || n - digits > 4 || rest.substr(n, 4) != "pt\">") return 0;
    open.push_back("span");
    return n + 4;
  }
  constexpr std::string_view font = "<font color=\"#";
  if (rest.starts_with(font)) {
    std::size_t n = font.size();
    for (int i = 0; i < 6; ++i, ++n)
      if (n >= rest.size() || !IsHex(rest[n])) return 0;
    if (rest.substr(n, 2) != "\">") return 0;
    open.push_back("font");
    return n + 2;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view rtf(reinterpret_cast<const char*>(data), size);
  const std::string html = orvane::RtfToHtml(rtf);

  if (html.size() > kBytesPerInputByte * size + kHead.size() + kTail.size()) __builtin_trap();
  if (!html.starts_with(kHead) || !html.ends_with(kTail)) __builtin_trap();
  if (!IsUtf8(html)) __builtin_trap();
  const std::string_view body =
      std::string_view(html).substr(kHead.size(), html.size() - kHead.size() - kTail.size());

  // Walk the body: tags, entities and text; collect the text as shown.
  std::vector<std::string_view> open;
  std::string text;
  for (std::size_t pos = 0; pos < body.size();) {
    const char c = body[pos];
    if (c == '<') {
      const std::size_t n = ReadTag(body, pos, open);
      if (n == 0) __builtin_trap();
      pos += n;
    } else if (c == '&') {
      bool known = false;
      for (auto [entity, ch] : {std::pair{"&amp;", '&'}, std::pair{"&lt;", '<'}, std::pair{"&gt;", '>'},
                                std::pair{"&quot;", '"'}, std::pair{"&nbsp;", ' '}}) {
        if (!body.substr(pos).starts_with(entity)) continue;
        text += ch;
        pos += std::string_view(entity).size();
        known = true;
        break;
      }
      if (!known) __builtin_trap();
    } else {
      if (c == '>' || c == '"') __builtin_trap();
      if (c != '\n') text += c;
      ++pos;
    }
  }
  if (!open.empty()) __builtin_trap();

  // No control words, symbols or groups: UTF-8 text shows as it is, line
  // ends aside.
  if (rtf.find_first_of("\\{}") == std::string_view::npos && IsUtf8(rtf)) {
    std::string expected;
    for (const char c : rtf)
      if (c != '\r' && c != '\n') expected += c;
    if (text != expected) __builtin_trap();
  }
  return 0;
}
