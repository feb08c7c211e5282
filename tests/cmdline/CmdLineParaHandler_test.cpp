#include "cmdline/CmdLineParaHandler.h"

#include <gtest/gtest.h>

#include "cmdline/SystemArguments.h"
#include "support/TestSupport.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

using test::TempDir;

std::vector<std::string> Argv(std::vector<std::string> args) {
  args.insert(args.begin(), "/opt/orvane/OrvaneSupport");
  return args;
}

// Handler over explicit arguments; args.txt is looked for in an empty folder.
struct Handler {
  explicit Handler(std::vector<std::string> args, bool prefix = true, bool caseSensitive = false)
      : h(prefix, caseSensitive, Argv(std::move(args)), dir.path().string()) {}
  TempDir dir;
  TCmdLineParaHandler h;
};

TEST(CmdLineParaHandler, NormalisesEntries) {
  struct Case {
    std::vector<std::string> args;
    bool caseSensitive;
    std::string stored;
  };
  const Case cases[] = {
      {{"--Logging=1", "-H"}, false, "--logging=1 -h="},
      {{"--Name=Some=Thing"}, false, "--name=Some=Thing"},
      {{"--WriteConfig"}, false, "--writeconfig="},
      {{"--A=1", "--B"}, false, "--a=1 --b="},
      {{"--ÄRGER=Ölig", "--ΣΥΝ", "--ПУТЬ=C:\\Ü"}, false, "--ärger=Ölig --συν= --путь=C:\\Ü"},
      {{"--Logging=1", "--Bare"}, true, "--Logging=1 --Bare="},
      {{"", " x ", "=v"}, false, "=  x = =v"},
  };
  for (const Case& c : cases) {
    Handler t(c.args, true, c.caseSensitive);
    EXPECT_EQ(t.h.GetAllArgsAsStr(), c.stored) << c.stored;
    EXPECT_EQ(t.h.GetNumberOfArgs(), static_cast<int>(c.args.size()));
    EXPECT_TRUE(t.h.WasCalledWithArgs());
    EXPECT_EQ(t.h.GetExeNameAndPath(), "/opt/orvane/OrvaneSupport");
  }
}

TEST(CmdLineParaHandler, PresenceUsesPrefixesAndFolding) {
  Handler t({"--Logging=1", "-H", "WriteConfig", "/Quiet"});
  EXPECT_TRUE(t.h.IsKeyAvailable("logging", ""));
  EXPECT_TRUE(t.h.IsKeyAvailable("LOGGING", ""));
  EXPECT_TRUE(t.h.IsKeyAvailable("help", "h"));
  EXPECT_FALSE(t.h.IsKeyAvailable("help", ""));
  EXPECT_FALSE(t.h.IsKeyAvailable("", ""));
  // Keys written without their prefix are not keys.
  EXPECT_FALSE(t.h.IsKeyAvailable("WriteConfig", ""));
  EXPECT_FALSE(t.h.IsKeyAvailable("Quiet", ""));

  Handler bare({"WriteConfig", "--Logging=1"}, false);
  EXPECT_TRUE(bare.h.IsKeyAvailable("writeconfig", ""));
  EXPECT_TRUE(bare.h.IsKeyAvailable("--logging", ""));
  EXPECT_FALSE(bare.h.IsKeyAvailable("logging", ""));

  // Case-sensitive: presence needs identical text, value lookups do not.
  Handler exact({"--Logging=1"}, true, true);
  EXPECT_FALSE(exact.h.IsKeyAvailable("logging", ""));
  EXPECT_TRUE(exact.h.IsKeyAvailable("Logging", ""));
  EXPECT_EQ(exact.h.GetValueAsInt("LOGGING", ""), 1);
}

TEST(CmdLineParaHandler, StringValuesAndShortKeys) {
  Handler t({"--Name=Some=Thing", "--WriteConfig", "-n=short", "--Empty=", "-e=fromShort"});
  EXPECT_EQ(t.h.GetValueAsStr("name", "n"), "Some=Thing");
  EXPECT_EQ(t.h.GetValueAsStr("missing", "n"), "short");
  EXPECT_EQ(t.h.GetValueAsStr("empty", "e"), "fromShort");
  EXPECT_EQ(t.h.GetValueAsStr("writeconfig", ""), "");
  EXPECT_EQ(t.h.GetValueAsInt("writeconfig", ""), -1);
  EXPECT_EQ(t.h.GetValueAsStr("missing", ""), "");
  EXPECT_EQ(t.h.GetValueAsStr("", "n"), "short");
}

TEST(CmdLineParaHandler, GettersWithoutKeyUseTheLastPresenceTest) {
  Handler t({"--LogToFile=1", "--DoSyslog=0", "-p=8", "--SyslogServerName=10.0.0.1"});
  EXPECT_EQ(t.h.GetValueAsInt("", ""), -1);  // nothing remembered yet
  ASSERT_TRUE(t.h.IsKeyAvailable("LogToFile", ""));
  EXPECT_EQ(t.h.GetValueAsInt("", ""), 1);
  ASSERT_TRUE(t.h.IsKeyAvailable("DoSyslog", ""));
  EXPECT_EQ(t.h.GetValueAsInt("", ""), 0);
  ASSERT_TRUE(t.h.IsKeyAvailable("SyslogServerName", ""));
  EXPECT_EQ(t.h.GetValueAsStr("", ""), "10.0.0.1");
  ASSERT_TRUE(t.h.IsKeyAvailable("port", "p"));
  EXPECT_EQ(t.h.GetValueAsInt("", ""), 8);
  EXPECT_DOUBLE_EQ(t.h.GetValueAsReal("", ""), 8.0);
  // An explicit key wins over the remembered one.
  EXPECT_EQ(t.h.GetValueAsInt("LogToFile", ""), 1);
  EXPECT_FALSE(t.h.IsKeyAvailable("Missing", ""));
  EXPECT_EQ(t.h.GetValueAsStr("", ""), "");
}

TEST(CmdLineParaHandler, IntegerConversion) {
  struct Case {
    std::string value;
    int expected;
  };
  const Case cases[] = {
      {"42", 42},
      {"abc", -1},
      {"$1F", 31},
      {"0x10", 16},
      {"0X1f", 31},
      {"  20", 20},
      {"\t7", 7},
      {"-5", -5},
      {"+7", 7},
      {"-$10", -16},
      {"2147483647", 2147483647},
      {"2147483648", -1},
      {"-2147483648", -2147483647 - 1},
      {"-2147483649", -1},
      {"$7FFFFFFF", 2147483647},
      {"$80000000", -1},
      {"99999999999999999999999", -1},
      {"12 ", -1},
      {"1.5", -1},
      {"$", -1},
      {"0x", -1},
      {"-", -1},
      {"1e3", -1},
  };
  for (const Case& c : cases) {
    Handler t({"--v=" + c.value});
    EXPECT_EQ(t.h.GetValueAsInt("v", ""), c.expected) << '"' << c.value << '"';
  }
  // A long value that does not convert falls through to the short key.
  Handler t({"--port=x", "-p=$10"});
  EXPECT_EQ(t.h.GetValueAsInt("port", "p"), 16);
  Handler shortBad({"--port=3", "-p=x"});
  EXPECT_EQ(shortBad.h.GetValueAsInt("port", "p"), 3);
  EXPECT_EQ(shortBad.h.GetValueAsInt("other", "p"), -1);
}

TEST(CmdLineParaHandler, RealConversionTakesAPointOnly) {
  struct Case {
    std::string value;
    double expected;
  };
  const Case cases[] = {
      {"2.5", 2.5}, {"2,5", -1.0},  {"1e3", 1000.0}, {"-1.5E-2", -0.015}, {"  3.25", 3.25}, {"+.5", 0.5},
      {"7", 7.0},   {"abc", -1.0},  {"inf", -1.0},   {"nan", -1.0},       {"0x1p3", -1.0},  {"1e999", -1.0},
      {"1e", -1.0}, {"2.5 ", -1.0}, {"+-1", -1.0},   {"", -1.0},
  };
  for (const Case& c : cases) {
    Handler t({"--r=" + c.value});
    EXPECT_DOUBLE_EQ(t.h.GetValueAsReal("r", ""), c.expected) << '"' << c.value << '"';
  }
}

TEST(CmdLineParaHandler, ArgsFileStandsInForAnEmptyCommandLine) {
  struct Case {
    const char* name;
    std::optional<std::string> file;  // content of args.txt, nullopt: no file
    std::vector<std::string> args;
    std::string stored;
    int count;
  };
  const Case cases[] = {
      {"line and empty line", "--Logging=1\n\n", {}, "--logging=1 =", 2},
      {"CR LF and BOM", "\xEF\xBB\xBF--Logging=1\r\n--Size=  20\r\n", {}, "--logging=1 --size=  20", 2},
      {"no final line break", "--A=1\n--B", {}, "--a=1 --b=", 2},
      {"only empty lines", "\n\n", {}, "= =", 2},
      {"empty file", "", {}, "", 0},
      {"command line wins", "--Logging=1\n", {"--Other"}, "--other=", 1},
      {"no file", std::nullopt, {}, "", 0},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.file) test::WriteFileBytes(dir / "args.txt", *c.file);
    TCmdLineParaHandler h(true, false, Argv(c.args), dir.path().string());
    EXPECT_EQ(h.GetAllArgsAsStr(), c.stored) << c.name;
    EXPECT_EQ(h.GetNumberOfArgs(), c.count) << c.name;
    EXPECT_EQ(h.WasCalledWithArgs(), c.count > 0) << c.name;
  }
  TempDir dir;
  test::WriteFileBytes(dir / "args.txt", "--Size=  20\n");
  TCmdLineParaHandler h(true, false, Argv({}), dir.path().string());
  EXPECT_EQ(h.GetValueAsInt("size", ""), 20);
}

TEST(CmdLineParaHandler, ReadsTheProcessArguments) {
  // The operating system's list is this test program's own command line.
  const std::vector<std::string> system = GetSystemArguments();
  ASSERT_FALSE(system.empty());
  EXPECT_NE(system[0].find("test_cmdline"), std::string::npos);

  const char* const argv[] = {"OrvaneSupport", "--WriteConfig", "--Logging=1"};
  SetProcessArguments(3, argv);
  TCmdLineParaHandler h(true, false);
  EXPECT_TRUE(h.WasCalledWithArgs());
  EXPECT_TRUE(h.IsKeyAvailable("WriteConfig", ""));
  EXPECT_EQ(h.GetValueAsInt("Logging", ""), 1);
  EXPECT_EQ(h.GetExeNameAndPath(), GetExecutablePath());
}

}  // namespace
}  // namespace orvane
