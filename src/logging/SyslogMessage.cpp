#include "logging/SyslogMessage.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace orvane {

namespace {

constexpr std::size_t kMaxTagLength = 32;

const std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsAsciiAlnum(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool IsDecimalNumber(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// One character of a UTF-8 text starting at pos: its code and its length in
// bytes. A byte that starts no valid sequence counts as a character of its
// own value, so text in another 8-bit encoding still arrives unchanged.
std::pair<char32_t, std::size_t> NextCharacter(const std::string& text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  std::size_t length = 0;
  char32_t code = 0;
  char32_t minimum = 0;
  if (lead < 0x80) return {lead, 1};
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return {lead, 1};
  }
  if (pos + length > text.size()) return {lead, 1};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return {lead, 1};
    code = (code << 6) | (byte(pos + i) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF) return {lead, 1};
  return {code, length};
}

}  // namespace

std::string SyslogMessagePart(const std::string& text) {
  std::size_t pos = 0;
  while (pos < text.size() && pos < kMaxTagLength && IsAsciiAlnum(text[pos])) ++pos;
  const std::string tag = text.substr(0, pos);

  std::string pid;
  if (pos < text.size() && text[pos] == '[') {
    const auto close = text.find(']', pos + 1);
    if (close != std::string::npos && IsDecimalNumber(text.substr(pos + 1, close - pos - 1))) {
      pid = text.substr(pos + 1, close - pos - 1);
      pos = close + 1;
    }
  }

  if (text.compare(pos, 2, ": ") == 0)
    pos += 2;
  else if (pos < text.size() && (text[pos] == ':' || text[pos] == ' '))
    pos += 1;
  const std::string content = text.substr(pos);

  if (tag.empty() && pid.empty() && content.empty()) return {};
  std::string part = tag;
  if (!pid.empty()) part += "[" + pid + "]";
  part += ": ";
  part += content;
  return part;
}

std::string BuildSyslogDatagram(std::uint8_t level, std::uint8_t facility, const std::tm& localTime,
                                const std::string& hostName, const std::string& text) {
  const int month = localTime.tm_mon >= 0 && localTime.tm_mon < 12 ? localTime.tm_mon : 0;
  char header[64];
  std::snprintf(header, sizeof header, "<%d>%s %2d %02d:%02d:%02d ", facility * 8 + level, kMonths[month],
                localTime.tm_mday, localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
  const std::string line = header + hostName + " " + SyslogMessagePart(text);

  std::string bytes;
  bytes.reserve(std::min(line.size(), SyslogMaxDatagramLength));
  for (std::size_t pos = 0; pos < line.size() && bytes.size() < SyslogMaxDatagramLength;) {
    const auto [code, length] = NextCharacter(line, pos);
    bytes += code < 256 ? static_cast<char>(code) : '?';
    pos += length;
  }
  return bytes;
}

}  // namespace orvane
