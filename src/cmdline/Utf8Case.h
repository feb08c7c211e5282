// Lower-casing of UTF-8 text that does not depend on the process locale.
#pragma once

#include <string>
#include <string_view>

namespace orvane {

// Lower-cases the letters of ASCII, Latin-1 Supplement, Latin Extended-A,
// Greek and Cyrillic by their simple Unicode case mapping; every other
// character, and every byte that is not well-formed UTF-8, is copied as is.
std::string Utf8LowerCase(std::string_view text);

// True when both texts are equal after Utf8LowerCase.
bool Utf8SameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace orvane
