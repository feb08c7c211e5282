// ShellExecuteW starting the stand-in program, which writes the arguments it
// was given as the system splits them (CommandLineToArgvW).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"
#include "system/DebugHook.h"
#include "system/ShellOpen.h"
#include "system/WindowsCommandLine.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::PathUtf8;
using test::ScopedEnv;
using test::Utf8Path;

std::string Parameters(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    if (!text.empty()) text += ' ';
    text += test::QuoteWindowsArgument(argument);
  }
  return text;
}

// Parameters are built from the intended arguments with the quoting our
// splitting rules read back (checked first); the started program must then
// see the same arguments. A literal quote is always written as \": inside
// quotes, CommandLineToArgvW still reads "" by the rule from before 2008
// (it ends the quoting), unlike the current C runtime.
TEST(ShellOpenWin, StartsTheProgramWithTheIntendedArguments) {
  const std::vector<std::vector<std::string>> cases = {
      {"-install", "-quiet", "-organizationid", "4c1e9b07-72fd-4e58-b0a3-19d6f2e8a4c5", "-serverurl",
       "https://x.example"},
      {"with space", "say \"hi\"", "C:\\Program Files\\x\\", "", "a\\\\b", "\\\"", "tab\there", "\\"},
      {"Gr\xC3\xBC\xC3\x9F Gott", "\xE6\x97\xA5\xE6\x9C\xAC", "\xE2\x82\xAC 5"},
      {},
  };
  for (const auto& arguments : cases) {
    const std::string parameters = Parameters(arguments);
    SCOPED_TRACE(parameters);
    ASSERT_EQ(SplitWindowsCommandLine(parameters), arguments);

    test::TempDir dir;
    // A program path with a blank and a non-ASCII letter.
    const fs::path folder = dir.path() / Utf8Path("Fernwartung \xC3\xA4");
    fs::create_directory(folder);
    const fs::path exe = folder / "record args.exe";
    fs::copy_file(test::StandInProgram(), exe);
    const fs::path out = dir / "args.txt";
    ScopedEnv outVar("ORVANE_STANDIN_OUT", out.string());
    ScopedEnv seconds("ORVANE_STANDIN_SECONDS", "0");

    ASSERT_TRUE(ShellOpen(PathUtf8(exe), parameters));
    ASSERT_TRUE(test::WaitForFile(out));
    EXPECT_EQ(test::ReadLines(out), arguments);
    // Gone before its folder is removed.
    EXPECT_TRUE(test::WaitForNoProcess("record args.exe"));
  }
}

std::vector<std::string> g_debug;
void RecordDebug(const std::string& text) { g_debug.push_back(text); }

TEST(ShellOpenWin, MissingProgramFails) {
  test::TempDir dir;
  g_debug.clear();
  SetSystemDebugHook(&RecordDebug);
  const std::string missing = (dir / "missing.exe").string();
  EXPECT_FALSE(ShellOpen(missing, "-x"));
  SetSystemDebugHook(nullptr);
  // ShellExecuteW's SE_ERR_FNF.
  EXPECT_EQ(g_debug, std::vector<std::string>{"ShellOpen \"" + missing + "\" -x: failed (2)"});
}

}  // namespace
}  // namespace orvane
