#include "system/Utf8.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(EscapeControlChars, KeepsTextAndEscapesWhatCouldForgeALineOrSteerATerminal) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"plain text, tab\tand C:\\path", "plain text, tab\tand C:\\path"},
      {"one\r\nforged line", "one\\r\\nforged line"},
      {"bare\nfeed and bare\rreturn", "bare\\nfeed and bare\\rreturn"},
      {"\x1b[31mred\x1b[0m", "\\x1b[31mred\\x1b[0m"},
      {std::string("nul\0byte", 8), "nul\\x00byte"},
      {"del\x7f", "del\\x7f"},
      {"csi \xC2\x9B"
       "31m",
       "csi \\u009b31m"},
      {"umlaut \xC3\xBC, nbsp \xC2\xA0, euro \xE2\x82\xAC",
       "umlaut \xC3\xBC, nbsp \xC2\xA0, euro \xE2\x82\xAC"},
      {"cut \xC2", "cut \xC2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeControlChars(c.in), c.out);
    EXPECT_EQ(EscapeControlChars(c.out), c.out) << "escaping twice changes nothing";
  }
}

}  // namespace
}  // namespace orvane
