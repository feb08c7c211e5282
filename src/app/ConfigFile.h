// The option list's JSON file: the exact text the program writes, and the
// lenient reader for published or hand-edited files.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/RemoteSupportConfig.h"

namespace orvane {

// Bare name: the file lives in the current working directory.
inline constexpr char kConfigFileName[] = "orvanesupport.json";

// A value that cannot be turned into what the configuration needs.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Message of the conversion error for a document (or "downloadLinks" value)
// that is not a JSON object.
inline constexpr char kNotAnObjectMessage[] = "Der Eingabewert ist kein gültiges Objekt";

// Reads the configuration file. The outcomes:
//  - no such file: a new, empty configuration (no options, default index 0);
//  - a configuration, which may lack an option list (HasOptionList() false)
//    when the document has no usable "downloadLinks";
//  - nullopt, no configuration at all, for an empty or whitespace-only
//    document or the JSON value null.
// Raises EConvertError for a document that is not a JSON object or holds an
// unusable value (see ReadConfigFromBytes), and EOSError (system/OSError.h)
// with the operating system's message when the file exists but cannot be
// read.
std::optional<TRemoteSupportConfig> ReadConfigFile(const std::string& path);

// The same reader on the file's bytes: byte-order mark detection (UTF-8,
// UTF-16 LE/BE; without one the 8-bit code page), line split, TABs deleted,
// JSON parsed, configuration built. Never raises anything but EConvertError.
std::optional<TRemoteSupportConfig> ReadConfigFromBytes(std::string_view bytes);

// The configuration as the file's single line (without the line end):
// compact JSON, fixed member order, ASCII only.
std::string ConfigToJsonText(const TRemoteSupportConfig& config);

// Creates or truncates the file and writes ConfigToJsonText plus CR LF.
// Raises EOSError with the operating system's message.
void WriteConfigFile(const std::string& path, const TRemoteSupportConfig& config);

// Platform part (ConfigFile_posix.cpp / ConfigFile_win.cpp).

// Text without a byte-order mark, decoded from the system's 8-bit code page
// into UTF-8.
std::string DecodeAnsiText(std::string_view bytes);

// The file's bytes; nullopt when no file of that name exists (a folder of
// that name does not count). No more than limit bytes are read: a longer file
// comes back cut there, so a caller that caps a file asks for one byte more
// than the cap and sees the excess without reading it. Raises EOSError.
std::optional<std::string> ReadConfigFileBytes(const std::string& path,
                                               std::size_t limit = std::numeric_limits<std::size_t>::max());

// Creates or truncates the file and writes the bytes. Raises EOSError.
void WriteConfigFileBytes(const std::string& path, std::string_view bytes);

}  // namespace orvane
