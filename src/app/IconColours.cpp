#include "app/IconColours.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>

namespace orvane {

namespace {

double Linear(std::uint8_t channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (l >= 'a' && l <= 'f') return l - 'a' + 10;
  return -1;
}

// "#rrggbb" or "#rgb"; anything else (a name, "none", url(...)) is none.
std::optional<TRgb> ParseHex(std::string_view value) {
  if (value.empty() || value.front() != '#') return std::nullopt;
  value.remove_prefix(1);
  if (value.size() != 3 && value.size() != 6) return std::nullopt;
  int d[6];
  for (std::size_t i = 0; i < value.size(); ++i) {
    d[i] = HexDigit(value[i]);
    if (d[i] < 0) return std::nullopt;
  }
  const auto byte = [](int hi, int lo) { return static_cast<std::uint8_t>(hi * 16 + lo); };
  if (value.size() == 3) return TRgb{byte(d[0], d[0]), byte(d[1], d[1]), byte(d[2], d[2])};
  return TRgb{byte(d[0], d[1]), byte(d[2], d[3]), byte(d[4], d[5])};
}

std::string HexText(TRgb c) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s = "#";
  for (const std::uint8_t v : {c.r, c.g, c.b}) {
    s += kDigits[v / 16];
    s += kDigits[v % 16];
  }
  return s;
}

// Calls found(valueStart, valueLength, colour) for every fill="..." and
// stroke="..." attribute whose value is a colour.
template <typename F>
void ForEachColour(std::string_view svg, F&& found) {
  for (const std::string_view name : {std::string_view("fill=\""), std::string_view("stroke=\"")}) {
    for (std::size_t at = svg.find(name); at != std::string_view::npos; at = svg.find(name, at + 1)) {
      // "stroke-width=" and the like do not match: the quote follows the
      // name directly. A preceding letter or hyphen would make it another
      // attribute ("data-fill=").
      if (at > 0) {
        const char before = svg[at - 1];
        if (std::isalnum(static_cast<unsigned char>(before)) || before == '-' || before == '_') continue;
      }
      const std::size_t start = at + name.size();
      const std::size_t end = svg.find('"', start);
      if (end == std::string_view::npos) return;
      if (const std::optional<TRgb> colour = ParseHex(svg.substr(start, end - start)))
        found(start, end - start, *colour);
    }
  }
}

}  // namespace

double RelativeLuminance(TRgb colour) {
  return 0.2126 * Linear(colour.r) + 0.7152 * Linear(colour.g) + 0.0722 * Linear(colour.b);
}

double ContrastRatio(TRgb a, TRgb b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::vector<TRgb> SvgColours(std::string_view svg) {
  std::vector<std::pair<std::size_t, TRgb>> found;
  ForEachColour(svg, [&](std::size_t start, std::size_t, TRgb c) { found.emplace_back(start, c); });
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<TRgb> colours;
  for (const auto& f : found) colours.push_back(f.second);
  return colours;
}

std::string SvgInColour(std::string_view svg, TRgb colour) {
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  ForEachColour(svg, [&](std::size_t start, std::size_t length, TRgb) { spans.emplace_back(start, length); });
  std::sort(spans.begin(), spans.end());
  const std::string replacement = HexText(colour);
  std::string out;
  std::size_t copied = 0;
  for (const auto& [start, length] : spans) {
    out.append(svg.substr(copied, start - copied));
    out += replacement;
    copied = start + length;
  }
  out.append(svg.substr(copied));
  return out;
}

bool IconsNeedTextColour(std::span<const std::string_view> svgs, TRgb face, bool highContrast) {
  if (highContrast) return true;
  for (const std::string_view svg : svgs) {
    for (const TRgb c : SvgColours(svg)) {
      if (ContrastRatio(c, face) < kMinIconContrast) return true;
    }
  }
  return false;
}

}  // namespace orvane
