// UTF-8 encoding and decoding shared by the text handling of every folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane {

// Decodes one UTF-8 sequence at text[pos]; returns its length, or 0 when the
// bytes there are not a valid (shortest-form, non-surrogate) sequence.
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& out);

// Appends the UTF-8 form of the code point cp.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace orvane
