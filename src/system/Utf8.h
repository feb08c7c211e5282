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

// Text that came from outside (a server's answer, a proxy script, a file) made
// safe to put into one log line, syslog datagram or message box: control
// characters other than TAB are written as escapes ("\r", "\n", "\x1b", and
// "\u009b" for the C1 controls), so such text can neither start a line of
// its own nor steer a terminal. Everything else is kept byte for byte.
std::string EscapeControlChars(std::string_view text);

}  // namespace orvane
