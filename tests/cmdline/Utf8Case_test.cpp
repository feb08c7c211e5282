#include "cmdline/Utf8Case.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(Utf8Case, LowerCasesTheCoveredScriptsOnly) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"ABC xyz 09-_=", "abc xyz 09-_="},
      {"ÀÄÖÜÞ×ß", "àäöüþ×ß"},  // multiplication sign and sharp s have no pair
      {"ĀĮĲĹŇŊŶŸŹŽİıĸſ", "āįĳĺňŋŷÿźži\u0131ĸſ"},
      {"ΣΑΣ ΆΈΊΌΎΏ Ϙ", "σασ άέίόύώ ϙ"},
      {"ПРИВЕТ ЁЂЏ Ѡ Ҋ Ӂ Ӑ Ԯ Ӏ", "привет ёђџ ѡ ҋ ӂ ӑ ԯ ӏ"},
      {"日本語 😀 Ａ", "日本語 😀 Ａ"},        // outside the covered blocks: unchanged
      {"\xFF\xC3 A\xC3", "\xFF\xC3 a\xC3"},  // malformed bytes are copied
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8LowerCase(c.in), c.out) << c.in;
  EXPECT_TRUE(Utf8SameTextIgnoringCase("--ÄRGER", "--ärger"));
  EXPECT_FALSE(Utf8SameTextIgnoringCase("--a", "--b"));
}

}  // namespace
}  // namespace orvane
