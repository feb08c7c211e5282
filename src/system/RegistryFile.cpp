#include "system/RegistryFile.h"

#include "system/OSFunctions.h"

namespace orvane {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Reads a quoted text starting at line[pos] == '"'; advances pos past the
// closing quote.
std::optional<std::string> ParseQuoted(std::string_view line, size_t& pos) {
  std::string out;
  for (++pos; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == '"') {
      ++pos;
      return out;
    }
    if (c == '\0') return std::nullopt;
    if (c == '\\') {
      if (++pos == line.size() || (line[pos] != '\\' && line[pos] != '"')) return std::nullopt;
      out += line[pos];
    } else {
      out += c;
    }
  }
  return std::nullopt;
}

void SkipBlanks(std::string_view line, size_t& pos) {
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
}

}  // namespace

TRegistryFile TRegistryFile::Parse(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  TRegistryFile file;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;

    size_t pos = 0;
    std::optional<std::string> name;
    if (line.front() == '@') {
      name = std::string();
      pos = 1;
    } else if (line.front() == '"') {
      name = ParseQuoted(line, pos);
    }
    if (!name) continue;
    SkipBlanks(line, pos);
    if (pos == line.size() || line[pos] != '=') continue;
    ++pos;
    SkipBlanks(line, pos);
    if (pos == line.size()) continue;

    std::optional<std::string> data;
    if (line[pos] == '"') {
      data = ParseQuoted(line, pos);
      if (!data || pos != line.size()) continue;
    }
    file.values_[LowerCaseText(*name)] = std::move(data);
  }
  return file;
}

std::optional<std::string> TRegistryFile::ReadString(const std::string& name) const {
  const auto it = values_.find(LowerCaseText(name));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

}  // namespace orvane
