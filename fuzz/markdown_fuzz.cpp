// Feeds arbitrary text to the Markdown renderer. Raw HTML in the source must
// never reach the page: every tag in the output is one the renderer writes
// for CommonMark plus pipe tables, attribute values are quoted and escaped,
// text carries no bare '<' or '>', and no link or image points at a script
// or a local file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cmdline/MarkdownToHtml.h"

namespace {

bool IsNameChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

bool Allowed(std::string_view name) {
  for (std::string_view tag :
       {"p",  "h1", "h2", "h3",     "h4", "h5",  "h6",    "ul",    "ol",    "li", "blockquote", "pre", "code",
        "hr", "br", "em", "strong", "a",  "img", "table", "thead", "tbody", "tr", "th",         "td"})
    if (name == tag) return true;
  return false;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(c | (c >= 'A' && c <= 'Z' ? 0x20 : 0)); });
  return out;
}

bool Dangerous(std::string_view tag, std::string_view value) {
  const std::string url = Lower(value);
  for (std::string_view scheme : {"javascript:", "vbscript:", "file:"})
    if (url.starts_with(scheme)) return true;
  if (!url.starts_with("data:")) return false;
  // Pictures inline as data are fine, nothing else is.
  if (tag != "img") return true;
  for (std::string_view image : {"data:image/png", "data:image/gif", "data:image/jpeg", "data:image/webp"})
    if (url.starts_with(image)) return false;
  return true;
}

// Reads the tag at html[pos] (a '<'); returns its length, 0 if it is not a
// plain tag of an allowed name with quoted, escaped attribute values.
std::size_t ReadTag(std::string_view html, std::size_t pos) {
  std::size_t n = pos + 1;
  const bool closing = n < html.size() && html[n] == '/';
  if (closing) ++n;
  const std::size_t nameStart = n;
  while (n < html.size() && IsNameChar(html[n])) ++n;
  const std::string_view name = html.substr(nameStart, n - nameStart);
  if (!Allowed(name)) return 0;
  while (!closing && n < html.size() && html[n] == ' ') {
    const std::size_t attrStart = ++n;
    while (n < html.size() && (IsNameChar(html[n]) || html[n] == '-')) ++n;
    const std::string_view attr = html.substr(attrStart, n - attrStart);
    if (attr.empty()) {
      --n;  // the " />" of a void element
      break;
    }
    if (html.substr(n, 2) != "=\"") return 0;
    n += 2;
    const std::size_t valueEnd = html.find('"', n);
    if (valueEnd == std::string_view::npos) return 0;
    const std::string_view value = html.substr(n, valueEnd - n);
    if (value.find_first_of("<>") != std::string_view::npos) return 0;
    if ((attr == "href" || attr == "src") && Dangerous(name, value)) return 0;
    n = valueEnd + 1;
  }
  if (html.substr(n, 3) == " />") return n + 3 - pos;
  if (html.substr(n, 1) == ">") return n + 1 - pos;
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string markdown(reinterpret_cast<const char*>(data), size);
  const std::string html = orvane::MarkdownToHtml(markdown);
  for (std::size_t pos = 0; pos < html.size();) {
    if (html[pos] == '>') __builtin_trap();
    if (html[pos] != '<') {
      ++pos;
      continue;
    }
    const std::size_t n = ReadTag(html, pos);
    if (n == 0) __builtin_trap();
    pos += n;
  }
  return 0;
}
