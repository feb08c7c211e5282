// Converts the small RTF subset the help window writes into an HTML page
// that an HTML view can show: groups, the colour table, \cf, \b, \i, \fs,
// \tab, \par, \line, \plain and escaped characters. Unknown control words are
// ignored, unbalanced braces tolerated and nesting is bounded, so any input
// yields a page, in UTF-8 whatever bytes the input holds.
#pragma once

#include <string>
#include <string_view>

namespace orvane {

std::string RtfToHtml(std::string_view rtf);

}  // namespace orvane
