// Text helpers for the configuration file: turning the file's lines into one
// JSON text, quoting strings the way the file is written, and the Unicode
// conversions both need. All std::string values hold UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// All lines joined with nothing between them, then every TAB (U+0009) deleted,
// also inside string literals. Callers without a list pass an empty one.
std::string LinesToJsonText(const std::vector<std::string>& Lines);

// The text as a quoted JSON string in the file's ASCII-only form: \" \\ \/,
// the short escapes \b \t \n \f \r, every other character below U+0020 and
// every character above U+007F as \uXXXX (upper-case hex) of its UTF-16 code
// units, a surrogate pair beyond U+FFFF. A byte that is not part of valid
// UTF-8 is written as \uFFFD.
std::string JsonQuote(std::string_view utf8);

// The text with every ill-formed UTF-8 sequence (each maximal invalid part)
// replaced by U+FFFD; valid text comes back unchanged.
std::string SanitizeUtf8(std::string_view bytes);

// UTF-16 bytes (little- or big-endian) as UTF-8. Unpaired surrogates and an
// odd trailing byte become U+FFFD.
std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian);

}  // namespace orvane
