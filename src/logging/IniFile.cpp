#include "logging/IniFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>

#include "cmdline/CmdLineParaHandler.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

fs::path Utf8Path(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

// A value read as the platform's profile functions give it: one pair of
// quotes (double or single) around the whole value is dropped, blanks inside
// them kept.
std::string Unquoted(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// Reads at most limit + 1 bytes, so that an oversized file is recognised
// without reading all of it. False when the file cannot be read.
bool ReadLimited(const fs::path& path, std::size_t limit, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.resize(limit + 1);
  in.read(out.data(), static_cast<std::streamsize>(out.size()));
  if (in.bad()) return false;
  out.resize(static_cast<std::size_t>(in.gcount()));
  return true;
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : fFileName(std::move(fileName)) {
  try {
    std::error_code ec;
    const fs::path path = Utf8Path(fFileName);
    const auto status = fs::status(path, ec);
    if (!fs::exists(status)) return;
    std::string text;
    if (!fs::is_regular_file(status) || !ReadLimited(path, MaxFileSize, text) || text.size() > MaxFileSize) {
      fState = TState::Unusable;
      return;
    }
    Parse(text);
    fState = TState::Loaded;
  } catch (...) {
    fLines.clear();
    fState = TState::Unusable;
  }
}

TIniFile TIniFile::Unread(std::string fileName) {
  TIniFile ini;
  ini.fFileName = std::move(fileName);
  ini.fState = TState::Unusable;
  return ini;
}

void TIniFile::Parse(const std::string& input) {
  std::string_view text(input);
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    TLine line;
    line.text = std::string(text.substr(start, end - start));
    if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
    start = end + 1;

    const std::string trimmed = Trim(line.text);
    if (trimmed.size() >= 2 && trimmed.front() == '[') {
      const auto close = trimmed.find(']');
      if (close != std::string::npos) {
        line.kind = TLine::TKind::Section;
        line.name = Trim(trimmed.substr(1, close - 1));
      }
    } else if (!trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#') {
      const auto eq = trimmed.find('=');
      if (eq != std::string::npos && eq > 0) {
        line.kind = TLine::TKind::Key;
        line.name = Trim(trimmed.substr(0, eq));
        line.value = Trim(trimmed.substr(eq + 1));
      }
    }
    fLines.push_back(std::move(line));
  }
}

std::size_t TIniFile::FindSection(const std::string& section) const {
  for (std::size_t i = 0; i < fLines.size(); ++i)
    if (fLines[i].kind == TLine::TKind::Section && SameName(fLines[i].name, section)) return i;
  return std::string::npos;
}

std::size_t TIniFile::SectionEnd(std::size_t start) const {
  std::size_t i = start + 1;
  while (i < fLines.size() && fLines[i].kind != TLine::TKind::Section) ++i;
  return i;
}

std::size_t TIniFile::FindKey(const std::string& section, const std::string& key) const {
  const std::size_t start = FindSection(section);
  if (start == std::string::npos) return std::string::npos;
  const std::size_t end = SectionEnd(start);
  for (std::size_t i = start + 1; i < end; ++i)
    if (fLines[i].kind == TLine::TKind::Key && SameName(fLines[i].name, key)) return i;
  return std::string::npos;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
  const std::size_t i = FindKey(section, key);
  return i == std::string::npos ? def : Unquoted(fLines[i].value);
}

std::int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                                   std::int32_t def) const {
  const std::size_t i = FindKey(section, key);
  std::int32_t value = def;
  if (i == std::string::npos || !TryTextToInt32(Unquoted(fLines[i].value), value)) return def;
  return value;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  return FindKey(section, key) != std::string::npos;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  const std::size_t existing = FindKey(section, key);
  if (existing != std::string::npos) {
    TLine& line = fLines[existing];
    if (line.value == value && Trim(line.text) == line.name + "=" + value) return;
    line.text = line.name + "=" + value;
    line.value = Trim(value);
    fModified = true;
    return;
  }
  TLine line;
  line.kind = TLine::TKind::Key;
  line.name = key;
  line.value = Trim(value);
  line.text = key + "=" + value;
  fModified = true;

  const std::size_t start = FindSection(section);
  if (start == std::string::npos) {
    // A blank line between sections, for the reader of the file.
    if (!fLines.empty() && !Trim(fLines.back().text).empty()) fLines.push_back(TLine{});
    TLine header;
    header.kind = TLine::TKind::Section;
    header.name = section;
    header.text = "[" + section + "]";
    fLines.push_back(std::move(header));
    fLines.push_back(std::move(line));
    return;
  }
  // After the section's last non-blank line, so that a blank line separating
  // it from the next section stays where it is.
  std::size_t at = SectionEnd(start);
  while (at > start + 1 && Trim(fLines[at - 1].text).empty()) --at;
  fLines.insert(fLines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, std::int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::EraseSection(const std::string& section) {
  for (std::size_t start = FindSection(section); start != std::string::npos; start = FindSection(section)) {
    fLines.erase(fLines.begin() + static_cast<std::ptrdiff_t>(start),
                 fLines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(start)));
    fModified = true;
  }
}

std::string TIniFile::Text() const {
  std::string text;
  for (const TLine& line : fLines) {
    text += line.text;
    text += "\r\n";
  }
  return text;
}

bool TIniFile::UpdateFile() {
  if (fState == TState::Unusable) return false;
  try {
    const fs::path target = Utf8Path(fFileName);
    // A name of its own for every attempt, so that two programs starting at
    // the same moment never write into each other's temporary file.
    std::random_device random;
    const fs::path temp = Utf8Path(fFileName + "." + std::to_string(random() % 1000000) + ".tmp");
    const std::string text = Text();
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      if (!out) return false;
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      out.close();
      if (!out) {
        std::error_code ec;
        fs::remove(temp, ec);
        return false;
      }
    }
    std::error_code ec;
    // A umask of 002 would leave the file group-writable, and the settings
    // procedure would not trust it on the next start.
    fs::permissions(
        temp, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read,
        ec);
    fs::rename(temp, target, ec);
    if (ec) {
      fs::remove(temp, ec);
      return false;
    }
    fState = TState::Loaded;
    fModified = false;
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace orvane
