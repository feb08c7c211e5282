#include "app/JSONHelper.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(LinesToJsonText, JoinsWithoutSeparatorAndDropsEveryTab) {
  EXPECT_EQ(LinesToJsonText({}), "");
  EXPECT_EQ(LinesToJsonText({"{\t\"a\":", "\t\t\"x\ty\"", "}\t"}), "{\"a\":\"xy\"}");
}

TEST(JsonQuote, WritesAsciiOnlyWithTheFilesEscapes) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"", R"("")"},
      {"http://host/a b", R"("http:\/\/host\/a b")"},
      {"say \"hi\" \\ ok", R"("say \"hi\" \\ ok")"},
      {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
      {std::string("\x00\x01\x1F\x7F", 4), "\"\\u0000\\u0001\\u001F\x7F\""},
      {"\xC3\xBC", R"("\u00FC")"},                // ü
      {"\xE2\x82\xAC", R"("\u20AC")"},            // €
      {"\xF0\x9F\x98\x80", R"("\uD83D\uDE00")"},  // U+1F600 as a surrogate pair
      {"a\xFF"
       "b",
       R"("a\uFFFDb")"},  // stray byte
      {"\xE2\x82"
       "c",
       R"("\uFFFDc")"},                             // truncated sequence, one replacement
      {"\xED\xA0\x80", R"("\uFFFD\uFFFD\uFFFD")"},  // encoded surrogate is not UTF-8
      {"\xC0\xAF", R"("\uFFFD\uFFFD")"},            // overlong "/"
  };
  for (const auto& c : cases) EXPECT_EQ(JsonQuote(c.in), c.out) << c.out;
}

TEST(UnicodeConversion, ReplacesWhatCannotBeDecoded) {
  EXPECT_EQ(SanitizeUtf8("ok \xC3\xBC \xF0\x9F\x98\x80"), "ok \xC3\xBC \xF0\x9F\x98\x80");
  EXPECT_EQ(SanitizeUtf8("a\x80"
                         "b\xF4\x90\x80\x80"),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");

  // "aü😀" in UTF-16, then a lone high surrogate and an odd trailing byte.
  const std::string le("a\0\xFC\0\x3D\xD8\x00\xDE\x3D\xD8x", 11);
  const std::string be("\0a\0\xFC\xD8\x3D\xDE\x00\xD8\x3Dx", 11);
  const std::string expected = "a\xC3\xBC\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD";
  EXPECT_EQ(Utf16BytesToUtf8(le, false), expected);
  EXPECT_EQ(Utf16BytesToUtf8(be, true), expected);
}

}  // namespace
}  // namespace orvane
