// A small INI (profile) file: "[section]" lines, each followed by its
// "key=value" lines.
//
// The whole file is held in memory: reads look values up, writes and erasures
// change the lines, and UpdateFile saves everything at once through a
// temporary file in the same folder and a rename, so that a crash never
// leaves a half-written file behind. Lines the reader does not understand
// (comments, text without "=", keys before the first section) are skipped
// when looking values up and kept as they are when saving.
//
// Section and key names are compared ignoring ASCII letter case; the first
// section of a name and, inside it, the first key of a name win. Values are
// read with blanks and tabs around them removed and then, as Windows' profile
// functions read them, without one pair of quotes, double or single, around
// the whole value (ServerName="syslog.corp" reads as syslog.corp; "a' and
// a"b" stay as they are). The text is UTF-8 (a leading byte-order mark is
// skipped); lines end in CR LF when written and in LF, with or without CR,
// when read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

class TIniFile {
 public:
  enum class TState {
    Missing,   // no file: reads give their defaults, UpdateFile creates it
    Loaded,    // read in full
    Unusable,  // there, but unreadable, larger than MaxFileSize or not to
               // be believed (Unread): never written
  };

  // A settings file of several megabytes is not a settings file.
  static constexpr std::size_t MaxFileSize = 1024 * 1024;

  // Reads the file (a UTF-8 path); never throws.
  explicit TIniFile(std::string fileName);

  // A file that is neither read nor written (one that other users could
  // have changed): reads give their defaults, changes stay in memory.
  static TIniFile Unread(std::string fileName);

  TState State() const { return fState; }
  const std::string& FileName() const { return fFileName; }

  // The trimmed, unquoted value, or def when the section or key is missing.
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  // The value as a signed 32-bit integer (decimal, or hexadecimal after "$"
  // or "0x"); def when it is missing or not such a number.
  std::int32_t ReadInteger(const std::string& section, const std::string& key, std::int32_t def) const;
  bool ValueExists(const std::string& section, const std::string& key) const;

  // Changes the first key of that name in place, or appends it to the end of
  // its section, or appends the section with the key to the end of the file.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);

  // Removes every section of that name with all its lines.
  void EraseSection(const std::string& section);

  // True when the lines differ from the file as read.
  bool Modified() const { return fModified; }

  // Saves the lines (temporary file beside it, then rename); false when the
  // file is unusable or could not be written, in which case the file on disk
  // is left as it was. On POSIX the file gets mode 0644 whatever the umask;
  // on Windows it takes its folder's permissions.
  bool UpdateFile();

  // The file's bytes as UpdateFile would write them.
  std::string Text() const;

 private:
  struct TLine {
    std::string text;  // the line as read or written, without line end
    enum class TKind { Other, Section, Key } kind = TKind::Other;
    std::string name;   // section or key name, trimmed
    std::string value;  // trimmed value of a key line
  };

  void Parse(const std::string& text);
  // Index of the first section line of that name, or npos.
  std::size_t FindSection(const std::string& section) const;
  // Index of the line after the last line of the section starting at start.
  std::size_t SectionEnd(std::size_t start) const;
  // Index of the first key line of that name in the section, or npos.
  std::size_t FindKey(const std::string& section, const std::string& key) const;

  TIniFile() = default;

  std::string fFileName;
  TState fState = TState::Missing;
  bool fModified = false;
  std::vector<TLine> fLines;
};

}  // namespace orvane
