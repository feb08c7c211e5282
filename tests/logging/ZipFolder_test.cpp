#include "logging/ZipFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "LogFileFixtures.h"
#include "ZipFixtures.h"
#include "logging/Logging.h"
#include "support/RecordingLogControl.h"
#include "support/TestSupport.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::PathText;
using test::TempDir;
using test::WriteFileBytes;
using test::ZipEntries;

TEST(ZipFolder, MasksMatchWholeNamesWithWildcards) {
  struct Case {
    std::string name, masks;
    bool matches;
  };
  const std::vector<Case> cases = {
      {"a.txt", "*.txt|*.log", true},
      {"b.log", "*.txt;*.log", true},
      {"c.ini", "*.txt|*.log", false},
      {"x.log.bak", "*.log", false},  // the whole name, not a part of it
      {"x.log", "x", false},
      {"a.log", "?.log", true},
      {"ab.log", "?.log", false},
      {"\xC3\xA4.log", "?.log", true},  // ? is one character, not one byte
      {"abcabd", "a*d", true},          // the star gives back what it took
      {"abcabc", "a*d", false},
      {"x.log", " *.txt ; x.log ", true},
      {"README", "*.*", true},  // *.* is every file, with or without a dot
      {"README", "*.", false},
      {".hidden", "*.*", true},
      {"any", "", false},
      {"any", ";|", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchesFileMask(c.name, c.masks), c.matches) << c.name << " against \"" << c.masks << "\"";
  }
}

class ZipFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(src / "a.txt", "alpha\r\n");
    WriteFileBytes(src / "b.log", std::string("bin\0ary\xFF", 8));
    WriteFileBytes(src / "c.ini", "[x]\n");
    WriteFileBytes(src / ".hidden.log", "hidden");
    fs::create_directory(src / "sub");
    WriteFileBytes(src / "sub" / "d.txt", "deep");
  }

  // Runs ZipFolder with a logger that shows debug lines in a text control.
  bool Zip(const fs::path& archive, const std::string& incl, bool recurse, const std::string& excl) {
    TLogSettings s;
    s.AlwaysShowDebug = true;
    control = std::make_shared<test::RecordingLogControl>();
    TLogging log(control, "", s);
    return ZipFolder(PathText(src.path()), PathText(archive), incl, recurse, excl, &log);
  }
  // The control's lines, oldest first.
  std::vector<std::string> Lines() const { return {control->lines.rbegin(), control->lines.rend()}; }

  TempDir src, out;
  std::shared_ptr<test::RecordingLogControl> control;
};

TEST_F(ZipFolderTest, PacksTheMatchingFilesUnderTheirRelativeNames) {
  const std::map<std::string, std::string> a = {{"a.txt", "alpha\r\n"}};
  const std::map<std::string, std::string> b = {{"b.log", std::string("bin\0ary\xFF", 8)}};
  const std::map<std::string, std::string> hidden = {{".hidden.log", "hidden"}};
  const std::map<std::string, std::string> ini = {{"c.ini", "[x]\n"}};
  const std::map<std::string, std::string> deep = {{"sub/d.txt", "deep"}};
  auto all = [](std::initializer_list<std::map<std::string, std::string>> parts) {
    std::map<std::string, std::string> m;
    for (const auto& p : parts) m.insert(p.begin(), p.end());
    return m;
  };
  struct Case {
    std::string incl;
    bool recurse;
    std::string excl;
    std::map<std::string, std::string> entries;
  };
  const std::vector<Case> cases = {
      {"*.txt|*.log", false, "", all({a, b, hidden})},
      {"*.txt;*.log", true, "", all({a, b, hidden, deep})},
      {"", false, "", all({a, b, hidden, ini})},
      {"", true, ".*|*.ini", all({a, b, deep})},
      {"b.log", false, "", b},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.incl + " / " + c.excl + (c.recurse ? " recursive" : ""));
    const fs::path archive = out / "logs.zip";
    fs::remove(archive);
    ASSERT_TRUE(Zip(archive, c.incl, c.recurse, c.excl));
    EXPECT_EQ(ZipEntries(archive), c.entries);
  }
}

// An existing archive, here inside the folder being packed and matching the
// mask, is deleted first: the new one holds only the folder's files.
TEST_F(ZipFolderTest, ReplacesAnExistingArchiveAndReportsEachStep) {
  const fs::path archive = src / "old.zip";
  WriteFileBytes(archive, "not a zip at all");
  ASSERT_TRUE(Zip(archive, "*.txt|*.zip", false, ""));
  EXPECT_EQ(ZipEntries(archive), (std::map<std::string, std::string>{{"a.txt", "alpha\r\n"}}));
  const std::string s = PathText(src.path()), z = PathText(archive);
  EXPECT_EQ(Lines(), (std::vector<std::string>{
                         "(Debug        ): ZipFolder: incl: *.txt|*.zip excl:  recurse: 0",
                         "(Debug        ): Search for existing ZIP file: " + z,
                         "(Debug        ): File found! Delete it",
                         "(Debug        ): ZIP not recursive",
                         "(Debug        ): Force create object",
                         "(Debug        ): Set SrcDir: " + s,
                         "(Debug        ): Set Target Filename: " + z,
                         "(Debug        ): Incl: *.txt;*.zip | Excl: ",
                         "(Debug        ): Create zip file",
                     }));
}

TEST_F(ZipFolderTest, FailuresAreReportedAndLeaveNoArchive) {
  struct Case {
    std::string what;
    fs::path archive;
    std::string incl;
  };
  const std::vector<Case> cases = {
      {"no file matches", out / "none.zip", "*.none"},
      {"the archive's folder is missing", out / "missing" / "x.zip", "*.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(Zip(c.archive, c.incl, true, ""));
    EXPECT_FALSE(fs::exists(c.archive));
    ASSERT_FALSE(control->lines.empty());
    EXPECT_EQ(control->lines.front().rfind("(Fehler       ): ", 0), 0u) << control->lines.front();
    EXPECT_NE(control->lines.front().find(PathText(c.archive)), std::string::npos) << control->lines.front();
  }
  EXPECT_TRUE(fs::is_empty(out.path()));
}

}  // namespace
}  // namespace orvane
