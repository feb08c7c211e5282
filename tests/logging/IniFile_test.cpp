#include "logging/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "LogFileFixtures.h"
#include "support/TestSupport.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::PathText;
using test::ReadFileBytes;
using test::TempDir;
using test::TextPath;
using test::WriteFileBytes;

// Byte-order mark, LF and CR LF lines, comments, text without "=", a key
// before the first section, a second section and key of the same names in
// other letter case, blanks and tabs around names and values.
const char* const kMessy =
    "\xEF\xBB\xBF"
    "orphan=before any section\n"
    "; comment=not a key\r\n"
    "[Main]\r\n"
    "  Enabled \t=\t 1  \r\n"
    "no equals sign here\n"
    "=value without key\n"
    "ENABLED=2\n"
    "Hex=$1F\n"
    "Hex2=0x10\n"
    "Word=12abc\n"
    "Huge=2147483648\n"
    "Negative=-7\n"
    "Empty=\n"
    "Text=Grüße = \"viele\"\n"
    "Quoted=\"5\"\n"
    "Single= '0x10' \n"
    "Mixed=\"6'\n"
    "Twice=\"\"7\"\"\n"
    "Server=\"syslog.corp\"\n"
    "Blanks=' a b '\n"
    "Inner=a\"b\"\n"
    "Lone=\"\n"
    "EmptyQuotes=''\n"
    "[Broken\n"
    "InBroken=still Main's\n"
    "[ main ]\n"
    "Enabled=3\n"
    "Late=only in the second Main\n";

TEST(IniFile, ReadsFirstOccurrenceIgnoringCaseAndSkipsWhatItDoesNotUnderstand) {
  TempDir dir;
  WriteFileBytes(dir / "s.ini", kMessy);
  const TIniFile ini(PathText(dir / "s.ini"));
  EXPECT_EQ(ini.State(), TIniFile::TState::Loaded);

  struct Case {
    const char* key;
    std::int32_t expected;  // read with default -1
  };
  for (const Case& c :
       {Case{"enabled", 1}, Case{"Hex", 31}, Case{"hex2", 16}, Case{"Word", -1}, Case{"Huge", -1},
        Case{"Negative", -7}, Case{"Empty", -1}, Case{"Missing", -1}, Case{"Text", -1}, Case{"Late", -1},
        Case{"Quoted", 5}, Case{"Single", 16}, Case{"Mixed", -1}, Case{"Twice", -1}}) {
    EXPECT_EQ(ini.ReadInteger("MAIN", c.key, -1), c.expected) << c.key;
  }
  // One pair of the same quotes around the whole value goes, as with the
  // profile functions; anything else stays as written.
  for (const auto& [key, expected] :
       std::vector<std::pair<const char*, const char*>>{{"Server", "syslog.corp"},
                                                        {"Blanks", " a b "},
                                                        {"Twice", "\"7\""},
                                                        {"Mixed", "\"6'"},
                                                        {"Inner", "a\"b\""},
                                                        {"Lone", "\""},
                                                        {"EmptyQuotes", ""}}) {
    EXPECT_EQ(ini.ReadString("Main", key, "-"), expected) << key;
  }
  EXPECT_EQ(ini.ReadString("main", "text", "-"), "Grüße = \"viele\"");
  EXPECT_EQ(ini.ReadString("Main", "Empty", "-"), "");
  EXPECT_TRUE(ini.ValueExists("Main", "Empty"));
  EXPECT_EQ(ini.ReadString("Main", "InBroken", "-"), "still Main's");  // "[Broken" is no section line
  EXPECT_EQ(ini.ReadString("Main", "orphan", "-"), "-");
  EXPECT_EQ(ini.ReadString("Main", "; comment", "-"), "-");
  EXPECT_EQ(ini.ReadString("Other", "Enabled", "-"), "-");
  EXPECT_FALSE(ini.Modified());
}

TEST(IniFile, WritesInPlaceIntoItsSectionOrAsNewSectionAndKeepsEveryOtherLine) {
  TempDir dir;
  const fs::path file = dir / "s.ini";
  WriteFileBytes(file,
                 "; settings\n"
                 "[Main]\n"
                 "enabled = 0 ; old\n"
                 "junk line\n"
                 "\n"
                 "[Other]\n"
                 "Keep=me\n");
  TIniFile ini(PathText(file));
  ini.WriteString("MAIN", "Enabled", "1");
  ini.WriteInteger("Main", "DoSyslog", -5);
  ini.WriteString("Memo", "NumRows", "50");
  ini.WriteString("memo", "Note", "Grüße");
  EXPECT_TRUE(ini.Modified());
  EXPECT_EQ(ini.ReadInteger("Main", "Enabled", -1), 1);
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_FALSE(ini.Modified());
  EXPECT_EQ(ReadFileBytes(file),
            "; settings\r\n"
            "[Main]\r\n"
            "enabled=1\r\n"
            "junk line\r\n"
            "DoSyslog=-5\r\n"
            "\r\n"
            "[Other]\r\n"
            "Keep=me\r\n"
            "\r\n"
            "[Memo]\r\n"
            "NumRows=50\r\n"
            "Note=Grüße\r\n");
  // Only the file itself is left: the temporary file went by rename.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  EXPECT_EQ(TIniFile(PathText(file)).ReadString("Memo", "Note", "-"), "Grüße");
}

TEST(IniFile, ErasingASectionRemovesEveryCopyOfItWithItsKeys) {
  TempDir dir;
  const fs::path file = dir / "s.ini";
  WriteFileBytes(file,
                 "[Main]\r\nA=1\r\n[Syslog]\r\nB=2\r\n[main]\r\nC=3\r\n; its comment\r\n[Memo]\r\nD=4\r\n");
  TIniFile ini(PathText(file));
  ini.EraseSection("MAIN");
  ini.EraseSection("Absent");
  EXPECT_EQ(ini.ReadString("Main", "C", "-"), "-");
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_EQ(ReadFileBytes(file), "[Syslog]\r\nB=2\r\n[Memo]\r\nD=4\r\n");
}

TEST(IniFile, MissingFileIsCreatedOnlyWhereItsFolderExists) {
  TempDir dir;
  const fs::path named = dir.path() / TextPath("Grüße ünd Ä.ini");
  TIniFile fresh(PathText(named));
  EXPECT_EQ(fresh.State(), TIniFile::TState::Missing);
  EXPECT_EQ(fresh.ReadInteger("Main", "Enabled", -1), -1);
  fresh.WriteInteger("Main", "Enabled", 0);
  ASSERT_TRUE(fresh.UpdateFile());
  EXPECT_EQ(ReadFileBytes(named), "[Main]\r\nEnabled=0\r\n");

  // A folder that does not exist, and one that cannot exist (a file in the
  // way): nothing is written and nothing is left behind.
  WriteFileBytes(dir / "plain", "x");
  for (const fs::path& file : {dir / "absent" / "s.ini", dir / "plain" / "s.ini"}) {
    TIniFile ini(PathText(file));
    EXPECT_EQ(ini.State(), TIniFile::TState::Missing) << file;
    ini.WriteInteger("Main", "Enabled", 0);
    EXPECT_FALSE(ini.UpdateFile()) << file;
    EXPECT_TRUE(ini.Modified());
  }
  EXPECT_FALSE(fs::exists(dir / "absent"));
  EXPECT_EQ(ReadFileBytes(dir / "plain"), "x");
}

TEST(IniFile, OversizedFileOrAFolderInItsPlaceIsUnusableAndNeverWritten) {
  TempDir dir;
  const std::string big = "[Main]\r\nEnabled=1\r\n" + std::string(TIniFile::MaxFileSize, ';');
  WriteFileBytes(dir / "big.ini", big);
  fs::create_directory(dir / "folder.ini");
  const std::string atLimit = "[Main]\r\nEnabled=1\r\n;" + std::string(TIniFile::MaxFileSize - 20, 'x');
  ASSERT_EQ(atLimit.size(), TIniFile::MaxFileSize);
  WriteFileBytes(dir / "limit.ini", atLimit);

  EXPECT_EQ(TIniFile(PathText(dir / "limit.ini")).ReadInteger("Main", "Enabled", -1), 1);
  for (const char* name : {"big.ini", "folder.ini"}) {
    TIniFile ini(PathText(dir / name));
    EXPECT_EQ(ini.State(), TIniFile::TState::Unusable) << name;
    EXPECT_EQ(ini.ReadInteger("Main", "Enabled", -1), -1) << name;
    ini.WriteInteger("Main", "Enabled", 0);
    EXPECT_FALSE(ini.UpdateFile()) << name;
  }
  EXPECT_EQ(ReadFileBytes(dir / "big.ini"), big);
  EXPECT_TRUE(fs::is_directory(dir / "folder.ini"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace orvane
