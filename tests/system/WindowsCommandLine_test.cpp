#include "system/WindowsCommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvane {
namespace {

struct TSplitCase {
  std::string parameters;
  std::vector<std::string> expected;
};

TEST(WindowsCommandLine, SplitsLikeTheCRuntime) {
  const std::vector<TSplitCase> cases = {
      {"", {}},
      {" \t  ", {}},
      {"  a\tb   c  ", {"a", "b", "c"}},
      {"-install -quiet -organizationid \"4c1e9b07-72fd-4e58-b0a3-19d6f2e8a4c5\" -serverurl "
       "\"https://x.example\"",
       {"-install", "-quiet", "-organizationid", "4c1e9b07-72fd-4e58-b0a3-19d6f2e8a4c5", "-serverurl",
        "https://x.example"}},
      // Quotes group, can start or end mid-argument and are dropped.
      {"\"a b\" c", {"a b", "c"}},
      {"x\"y z\"w", {"xy zw"}},
      {"\"a\"b\"c d\"", {"abc d"}},
      // Empty arguments only from quotes.
      {"\"\"", {""}},
      {"a \"\" b", {"a", "", "b"}},
      {"a\"\"b", {"ab"}},
      // "" inside quotes is a literal quote and quoting goes on.
      {"\"a\"\"b c\"", {"a\"b c"}},
      {"\"\"\"a\"\"\"", {"\"a\""}},
      // Backslashes: literal unless they precede a quote.
      {"C:\\Program Files\\x", {"C:\\Program", "Files\\x"}},
      {"a\\\\b a\\", {"a\\\\b", "a\\"}},
      {"a\\\"b", {"a\"b"}},
      {"a\\\\\"b c\"", {"a\\b c"}},
      {"a\\\\\\\"b", {"a\\\"b"}},
      {"\"C:\\Program Files\\x\\\\\" next", {"C:\\Program Files\\x\\", "next"}},
      {"\"say \\\"hi\\\"\"", {"say \"hi\""}},
      // An open quote at the end ends the last argument.
      {"a \"b c ", {"a", "b c "}},
  };
  for (const TSplitCase& c : cases) {
    EXPECT_EQ(SplitWindowsCommandLine(c.parameters), c.expected) << "parameters: " << c.parameters;
  }
}

}  // namespace
}  // namespace orvane
