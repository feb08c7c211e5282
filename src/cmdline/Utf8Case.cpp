#include "cmdline/Utf8Case.h"

namespace orvane {

namespace {

// Pairs laid out as upper case on the even code point, lower case on the
// next one (or the other way round with upperOnOdd).
constexpr char32_t PairLower(char32_t c, bool upperOnOdd) { return ((c % 2 == 1) == upperOnOdd) ? c + 1 : c; }

constexpr char32_t LowerCodePoint(char32_t c) {
  if (c < 0x80) return (c >= U'A' && c <= U'Z') ? c + 0x20 : c;
  // Latin-1 Supplement: À..Þ except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE) return c == 0xD7 ? c : c + 0x20;
  // Latin Extended-A.
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130) return U'i';  // İ has no lower case of its own outside Turkish
    if (c == 0x178) return 0xFF;  // Ÿ -> ÿ
    if (c <= 0x12F || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return PairLower(c, false);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return PairLower(c, true);
    return c;
  }
  // Greek.
  if (c >= 0x370 && c <= 0x3FF) {
    if (c <= 0x373) return PairLower(c, false);
    if (c == 0x376) return 0x377;
    if (c == 0x37F) return 0x3F3;
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return c + 0x25;
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return c + 0x3F;
    if ((c >= 0x391 && c <= 0x3A1) || (c >= 0x3A3 && c <= 0x3AB)) return c + 0x20;
    if (c >= 0x3D8 && c <= 0x3EF) return PairLower(c, false);
    return c;
  }
  // Cyrillic and Cyrillic Supplement.
  if (c >= 0x400 && c <= 0x52F) {
    if (c <= 0x40F) return c + 0x50;
    if (c <= 0x42F) return c + 0x20;
    if (c >= 0x460 && c <= 0x481) return PairLower(c, false);
    if (c >= 0x48A && c <= 0x4BF) return PairLower(c, false);
    if (c == 0x4C0) return 0x4CF;
    if (c >= 0x4C1 && c <= 0x4CE) return PairLower(c, true);
    if (c >= 0x4D0) return PairLower(c, false);
    return c;
  }
  return c;
}

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes a well-formed two-byte sequence at text[i]; returns its length, or
// 0 for anything else.
size_t DecodeSequence(std::string_view text, size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  if (b0 >= 0xC2 && b0 <= 0xDF && i + 1 < text.size() &&
      IsContinuation(static_cast<unsigned char>(text[i + 1]))) {
    cp = (static_cast<char32_t>(b0 & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
    return 2;
  }
  return 0;
}

// Code points below U+0800 only: every mapping result lies there.
void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string Utf8LowerCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out += static_cast<char>(LowerCodePoint(b));
      ++i;
      continue;
    }
    char32_t cp = 0;
    // Every letter mapped here lies below U+0800, so two-byte sequences are
    // all that needs decoding; longer ones are copied byte for byte.
    if (const size_t len = DecodeSequence(text, i, cp); len != 0) {
      AppendUtf8(out, LowerCodePoint(cp));
      i += len;
    } else {
      out += text[i];
      ++i;
    }
  }
  return out;
}

bool Utf8SameTextIgnoringCase(std::string_view a, std::string_view b) {
  return Utf8LowerCase(a) == Utf8LowerCase(b);
}

}  // namespace orvane
