// The language switch read from the command line, and the line between what
// is shown (translated) and what is logged (English).
#include "app/Language.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmdline/CmdLineParaHandler.h"
#include "support/TestSupport.h"

namespace orvane {
namespace {

TEST(RequestedLanguage, TakesLanguageCodesInTheCatalogsForm) {
  const struct {
    std::vector<std::string> args;
    const char* language;
  } cases[] = {
      {{"--Language=de"}, "de"},
      {{"--LANGUAGE=DE"}, "de"},
      {{"--Language=de-at"}, "de_AT"},
      {{"--Language=de_AT"}, "de_AT"},
      {{"--Language=en"}, "en"},
      {{"--Logging=1"}, ""},
      {{"--Language="}, ""},
      {{"--Language=d"}, ""},
      {{"--Language=de_DE.UTF-8"}, ""},
      {{"--Language=../../tmp/x"}, ""},
      {{"--Language=de_A1"}, ""},
  };
  const test::TempDir dir;
  for (const auto& c : cases) {
    std::vector<std::string> args = {(dir / "OrvaneSupport").string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    TCmdLineParaHandler handler(true, false, args, dir.path().string() + "/");
    EXPECT_EQ(RequestedLanguage(handler), c.language) << c.args[0];
  }
}

}  // namespace
}  // namespace orvane
