#include "app/JSONHelper.h"

#include "system/Utf8.h"

#include <cstdint>

namespace orvane {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the code point at pos and advances past it. An ill-formed sequence
// yields U+FFFD and advances past its longest valid prefix (at least one
// byte), so the byte that broke it starts the next sequence.
char32_t NextCodePoint(std::string_view s, std::size_t& pos) {
  const auto byte = [&s](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
  const std::uint8_t lead = byte(pos++);
  if (lead < 0x80) return lead;

  int length = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return kReplacement;
  }

  char32_t cp = lead & (0xFF >> (length + 1));
  for (int i = 1; i < length; ++i) {
    if (pos >= s.size()) return kReplacement;
    const std::uint8_t b = byte(pos);
    if (i == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF)) return kReplacement;
    cp = (cp << 6) | (b & 0x3F);
    ++pos;
  }
  return cp;
}

void AppendUnicodeEscape(std::string& out, std::uint16_t unit) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\u";
  out += kHex[(unit >> 12) & 0xF];
  out += kHex[(unit >> 8) & 0xF];
  out += kHex[(unit >> 4) & 0xF];
  out += kHex[unit & 0xF];
}

}  // namespace

std::string LinesToJsonText(const std::vector<std::string>& Lines) {
  std::string text;
  for (const std::string& line : Lines)
    for (const char c : line)
      if (c != '\t') text += c;
  return text;
}

std::string JsonQuote(std::string_view utf8) {
  std::string out = "\"";
  for (std::size_t pos = 0; pos < utf8.size();) {
    const char32_t cp = NextCodePoint(utf8, pos);
    switch (cp) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '/':
        out += "\\/";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (cp >= 0x20 && cp <= 0x7F) {
          out += static_cast<char>(cp);
        } else if (cp < 0x10000) {
          AppendUnicodeEscape(out, static_cast<std::uint16_t>(cp));
        } else {
          const char32_t v = cp - 0x10000;
          AppendUnicodeEscape(out, static_cast<std::uint16_t>(0xD800 + (v >> 10)));
          AppendUnicodeEscape(out, static_cast<std::uint16_t>(0xDC00 + (v & 0x3FF)));
        }
    }
  }
  out += '"';
  return out;
}

std::string SanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t pos = 0; pos < bytes.size();) AppendUtf8(out, NextCodePoint(bytes, pos));
  return out;
}

std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian) {
  const std::size_t units = bytes.size() / 2;
  const auto unitAt = [&](std::size_t i) {
    const auto b0 = static_cast<std::uint8_t>(bytes[2 * i]);
    const auto b1 = static_cast<std::uint8_t>(bytes[2 * i + 1]);
    return static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
  };
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t u = unitAt(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const char16_t next = unitAt(i + 1);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : static_cast<char32_t>(u));
  }
  if (bytes.size() % 2 != 0) AppendUtf8(out, kReplacement);
  return out;
}

}  // namespace orvane
