#include "system/ShellOpen.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"
#include "system/CheckedFile.h"
#include "system/DebugHook.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

// Waits for a file the started program writes last. The bound only keeps a
// broken start from hanging the run.
bool WaitForFile(const fs::path& file) {
  for (int i = 0; i < 3000; ++i) {
    if (fs::exists(file)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::vector<std::string> ReadLines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A shell script that writes its arguments, one "[arg]" per line, to
// <out>/args, then "<parent pid> <session id> <stdin>" to <out>/ids and
// finally creates <out>/done. It calls no program through PATH, so it also runs with
// PATH pointing elsewhere.
void WriteRecorder(const fs::path& script, const fs::path& out, fs::perms perms) {
  std::string text = R"sh(#!/bin/sh
for a in "$@"; do printf '[%s]\n' "$a"; done > '@OUT@/args'
read -r stat < /proc/$$/stat
# Fields after the program name: state, parent, group, session.
set -- ${stat##*) }
echo "$2 $4 $(/bin/readlink /proc/$$/fd/0)" > '@OUT@/ids'
: > '@OUT@/done'
)sh";
  for (size_t at = 0; (at = text.find("@OUT@", at)) != std::string::npos; at += out.string().size())
    text.replace(at, 5, out.string());
  test::WriteFileBytes(script, text);
  fs::permissions(script, perms);
}

std::vector<std::string> Bracketed(const std::vector<std::string>& args) {
  std::vector<std::string> lines;
  for (const std::string& arg : args) lines.push_back("[" + arg + "]");
  return lines;
}

struct TStartCase {
  std::string parameters;
  std::vector<std::string> expected;
};

TEST(ShellOpen, StartsScriptDetachedWithSplitParameters) {
  const std::vector<TStartCase> cases = {
      {"-install -quiet -organizationid \"4c1e9b07-72fd-4e58-b0a3-19d6f2e8a4c5\" -serverurl "
       "\"https://x.example\"",
       {"-install", "-quiet", "-organizationid", "4c1e9b07-72fd-4e58-b0a3-19d6f2e8a4c5", "-serverurl",
        "https://x.example"}},
      {"\"C:\\Program Files\\x\\\\\" say=\\\"hi\\\" \"a \"\"b\"\" c\" ''",
       {"C:\\Program Files\\x\\", "say=\"hi\"", "a \"b\" c", "''"}},
      {"", {}},
  };
  for (const TStartCase& c : cases) {
    SCOPED_TRACE(c.parameters);
    test::TempDir dir;
    const fs::path script = dir / "record args.sh";
    WriteRecorder(script, dir.path(), fs::perms::owner_all);

    ASSERT_TRUE(ShellOpen(script.string(), c.parameters));
    // The program is not our child: nothing to reap, now or later.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    ASSERT_TRUE(WaitForFile(dir / "done"));
    EXPECT_EQ(ReadLines(dir / "args"), Bracketed(c.expected));
    std::istringstream ids(test::ReadFileBytes(dir / "ids"));
    pid_t parent = 0, session = 0;
    std::string input;
    ids >> parent >> session >> input;
    EXPECT_NE(parent, getpid());
    EXPECT_NE(session, getsid(0));
    EXPECT_EQ(input, "/dev/null");
  }
}

TEST(ShellOpen, MakesDownloadedProgramsExecutableFirst) {
  test::TempDir dir;
  const fs::path script = dir / "script.sh";
  WriteRecorder(script, dir.path(), fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(ShellOpen(script.string(), "one"));
  ASSERT_TRUE(WaitForFile(dir / "done"));
  EXPECT_EQ(ReadLines(dir / "args"), Bracketed({"one"}));

  // A native program too: a copy of touch, told to create a file whose name
  // holds a space.
  const fs::path touch = dir / "touch";
  fs::copy_file("/usr/bin/touch", touch);
  fs::permissions(touch, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(ShellOpen(touch.string(), "\"" + (dir / "made it").string() + "\""));
  EXPECT_TRUE(WaitForFile(dir / "made it"));
  EXPECT_NE(fs::status(touch).permissions() & fs::perms::owner_exec, fs::perms::none);
}

std::vector<std::string> g_debug;
void RecordDebug(const std::string& text) { g_debug.push_back(text); }

// wine and xdg-open are stood in for by recorder scripts on PATH.
TEST(ShellOpen, HandsOtherFilesToTheirOpener) {
  test::TempDir dir;
  const fs::path bin = dir / "bin", out = dir / "out";
  fs::create_directories(bin);
  fs::create_directories(out);
  const fs::path program = dir / "Setup.exe", document = dir / "readme.txt";
  test::WriteFileBytes(program, std::string("MZ\x90\0\3\0\0\0", 8));
  test::WriteFileBytes(document, "hello\n");

  g_debug.clear();
  SetSystemDebugHook(&RecordDebug);
  {
    test::ScopedEnv path("PATH", bin.string());
    EXPECT_FALSE(ShellOpen(program.string(), ""));
    EXPECT_FALSE(ShellOpen(document.string(), ""));
    EXPECT_FALSE(ShellOpen((dir / "missing.exe").string(), ""));
  }
  SetSystemDebugHook(nullptr);
  ASSERT_EQ(g_debug.size(), 3u);
  EXPECT_NE(g_debug[0].find("wine"), std::string::npos) << g_debug[0];
  EXPECT_NE(g_debug[1].find("xdg-open"), std::string::npos) << g_debug[1];
  EXPECT_NE(g_debug[2].find("No such file or directory"), std::string::npos) << g_debug[2];

  WriteRecorder(bin / "wine", out, fs::perms::owner_all);
  {
    test::ScopedEnv path("PATH", bin.string());
    ASSERT_TRUE(ShellOpen(program.string(), "/S \"/D=C:\\Program Files\\Tool\""));
  }
  ASSERT_TRUE(WaitForFile(out / "done"));
  EXPECT_EQ(ReadLines(out / "args"), Bracketed({program.string(), "/S", "/D=C:\\Program Files\\Tool"}));

  fs::remove(out / "done");
  WriteRecorder(bin / "xdg-open", out, fs::perms::owner_all);
  {
    test::ScopedEnv path("PATH", bin.string());
    ASSERT_TRUE(ShellOpen(document.string(), "--not-for-the-opener"));
  }
  ASSERT_TRUE(WaitForFile(out / "done"));
  EXPECT_EQ(ReadLines(out / "args"), Bracketed({document.string()}));
}

// Started means checked: after the check another program is put at the
// path (renamed over it, as anyone who may write the folder can), yet what
// starts is the file that was checked, a script as well as a native program.
TEST(ShellOpen, CheckedStartRunsTheFileThatWasCheckedNotWhatIsAtItsPathNow) {
  test::TempDir dir;
  const fs::path script = dir / "tool.exe";
  WriteRecorder(script, dir.path(), fs::perms::owner_read | fs::perms::owner_write);
  const std::string planted = "#!/bin/sh\n: > '" + (dir / "planted ran").string() + "'\n";
  const auto plant = [&](const fs::path& at) {
    test::WriteFileBytes(dir / "planted", planted);
    fs::permissions(dir / "planted", fs::perms::owner_all);
    fs::rename(dir / "planted", at);
  };
  {
    const TCheckedFile checked(script.string());
    plant(script);
    ASSERT_TRUE(ShellOpenChecked(checked, "one \"two three\""));
  }
  ASSERT_TRUE(WaitForFile(dir / "done"));
  EXPECT_EQ(ReadLines(dir / "args"), Bracketed({"one", "two three"}));

  // A copy of touch without execute permission (as a download may be) gets
  // it through the descriptor, and is what runs.
  const fs::path touch = dir / "touch";
  fs::copy_file("/usr/bin/touch", touch);
  fs::permissions(touch, fs::perms::owner_read | fs::perms::owner_write);
  {
    const TCheckedFile checked(touch.string());
    plant(touch);
    ASSERT_TRUE(ShellOpenChecked(checked, "\"" + (dir / "made it").string() + "\""));
    struct stat held {};
    ASSERT_EQ(fstat(static_cast<int>(checked.Native()), &held), 0);
    EXPECT_NE(held.st_mode & S_IXUSR, 0u);
  }
  EXPECT_TRUE(WaitForFile(dir / "made it"));
  EXPECT_FALSE(fs::exists(dir / "planted ran"));
}

// wine opens a Windows program by its name: started only while the path
// still names the checked file.
TEST(ShellOpen, CheckedWindowsProgramGoesToWineOnlyWhileItsPathNamesIt) {
  test::TempDir dir;
  const fs::path bin = dir / "bin", out = dir / "out";
  fs::create_directories(bin);
  fs::create_directories(out);
  WriteRecorder(bin / "wine", out, fs::perms::owner_all);
  const fs::path program = dir / "Setup.exe";
  test::WriteFileBytes(program, std::string("MZ\x90\0\3\0\0\0", 8));
  fs::permissions(program, fs::perms(0644));
  const test::ScopedEnv path("PATH", bin.string());

  const TCheckedFile checked(program.string());
  ASSERT_TRUE(ShellOpenChecked(checked, "/S"));
  ASSERT_TRUE(WaitForFile(out / "done"));
  EXPECT_EQ(ReadLines(out / "args"), Bracketed({program.string(), "/S"}));

  fs::remove(out / "done");
  test::WriteFileBytes(dir / "planted", std::string("MZ planted", 10));
  fs::rename(dir / "planted", program);
  g_debug.clear();
  SetSystemDebugHook(&RecordDebug);
  EXPECT_FALSE(ShellOpenChecked(checked, "/S"));
  SetSystemDebugHook(nullptr);
  EXPECT_THAT(g_debug, testing::ElementsAre(testing::HasSubstr("no longer the one that was checked")));
  EXPECT_FALSE(fs::exists(out / "done"));
}

}  // namespace
}  // namespace orvane
