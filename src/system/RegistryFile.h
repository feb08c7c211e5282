// A registry key kept as a small text file, for systems without a registry.
//
// The file holds the key's values, one per line, in the value syntax of
// .reg files (UTF-8, an optional byte-order mark, LF or CR LF line ends):
//
//   ; comment (also "#")
//   "/opt/orvane/orvanesupport"="/srv/orvane/conf"
//   @="the key's unnamed value"
//   "other"=dword:00000001
//
// Names and strings are quoted; inside quotes "\\" stands for a backslash and
// "\"" for a quote, and no other backslash sequence is allowed. Blanks around
// "=" and at the ends of a line are ignored. A value whose data is not a
// quoted string (dword:..., hex:..., anything else) is a value of another
// type. A line that fits none of these forms is skipped; the other lines
// still count. Names are compared after LowerCaseText on both sides, and a
// later line for the same name replaces an earlier one.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class TRegistryFile {
 public:
  static TRegistryFile Parse(std::string_view text);

  // The string stored under name, or nullopt when there is no such value or
  // it is not a string.
  std::optional<std::string> ReadString(const std::string& name) const;

 private:
  // Lower-cased name -> data; nullopt for values of another type.
  std::map<std::string, std::optional<std::string>> values_;
};

}  // namespace orvane
