#include "system/Registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"
#include "system/OSFunctions.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFileBytes;

class RegistryTest : public ::testing::Test {
 protected:
  fs::path MachineKey(const std::string& name) {
    fs::create_directories(machine_);
    return machine_ / (name + ".reg");
  }

  TempDir dir_;
  const fs::path machine_ = dir_ / "etc" / "Orvane mbH Tessel";
  const fs::path user_ = dir_ / "home-config" / "Orvane mbH Tessel";
  ScopedEnv configDirs_{"XDG_CONFIG_DIRS", (dir_ / "etc").string()};
  ScopedEnv configHome_{"XDG_CONFIG_HOME", (dir_ / "home-config").string()};
};

TEST_F(RegistryTest, ReadsHandEditedFile) {
  WriteFileBytes(MachineKey("ConfDir"),
                 "\xEF\xBB\xBF; overrides for the support tool\r\n"
                 "# one line per program\r\n"
                 "\r\n"
                 "  \"/opt/Orvane/orvanesupport\" =  \"/srv/conf\"  \r\n"
                 "\"/opt/a=b/c d/\xC3\x84RGER\"=\"/srv/\xC3\xA4rger\"\n"
                 "\"C:\\\\Tools\\\\\\\"quoted\\\" name\"=\"D:\\\\Conf\"\n"
                 "@=\"unnamed\"\n"
                 "\"twice\"=\"first\"\n"
                 "\"TWICE\"=\"second\"\n"
                 "\"number\"=dword:00000001\n"
                 "\"expandable\"=hex(2):25,00,00,00\n"
                 "\"empty\"=\"\"\n"
                 "\"bad escape\"=\"a\\b\"\n"
                 "\"trailing\"=\"x\" junk\n"
                 "\"unterminated=\"x\"\n"
                 "[HKEY_LOCAL_MACHINE\\Software]\n"
                 "\"last\"=\"no line end\"");
  struct Case {
    std::string name, expected;
  } cases[] = {
      {"/opt/orvane/orvanesupport", "/srv/conf"},
      {"/OPT/ORVANE/ORVANESUPPORT", "/srv/conf"},
      {"/opt/a=b/c d/\xC3\xA4rger", "/srv/\xC3\xA4rger"},
      {"c:\\tools\\\"quoted\" name", "D:\\Conf"},
      {"", "unnamed"},
      {"twice", "second"},
      {"number", "default"},
      {"expandable", "default"},
      {"empty", "default"},
      {"bad escape", "default"},
      {"trailing", "default"},
      {"unterminated", "default"},
      {"missing", "default"},
      {"last", "no line end"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadCompanyRegString("ConfDir", c.name, "default"), c.expected) << c.name;
}

TEST_F(RegistryTest, UnusableKeysGiveTheDefault) {
  const std::string line = "\"name\"=\"value\"\n";
  WriteFileBytes(MachineKey("Garbage"), std::string("\0\xFF\x01\"name\"", 8) + "\n\xFE\xFF");
  WriteFileBytes(MachineKey("Huge"), line + std::string(2 << 20, ';'));
  fs::create_directories(MachineKey("Folder"));
  WriteFileBytes(dir_ / "etc" / "Escaped.reg", line);
  WriteFileBytes(MachineKey("Good"), line);
  for (const char* subkey :
       {"Garbage", "Huge", "Folder", "Missing", "..\\Escaped", "Good\\..\\..\\Escaped", "\\Good", "Go/od"})
    EXPECT_EQ(ReadCompanyRegString(subkey, "name", "default"), "default") << subkey;
  EXPECT_EQ(ReadCompanyRegString("Good", "name", "default"), "value");
  EXPECT_EQ(ReadCompanyRegString("Good\\", "name", "default"), "value");
  ScopedEnv noHome("HOME", std::nullopt);
  ScopedEnv noConfigDirs("XDG_CONFIG_DIRS", std::nullopt);
  EXPECT_EQ(ReadCompanyRegString("Good", "name", "default"), "default");  // now /etc/xdg
}

TEST_F(RegistryTest, SubkeysLiveInFolders) {
  fs::create_directories(machine_ / "Outer");
  WriteFileBytes(machine_ / "Outer" / "Inner.reg", "\"n\"=\"inner\"\n");
  EXPECT_EQ(ReadCompanyRegString("Outer\\Inner", "n", ""), "inner");
}

TEST_F(RegistryTest, DeleteRemovesUserKeyWithSubkeysOnly) {
  fs::create_directories(user_ / "Logging" / "Deeper" / "Deepest");
  WriteFileBytes(user_ / "Logging.reg", "\"a\"=\"1\"\n");
  WriteFileBytes(user_ / "Logging" / "Deeper.reg", "\"b\"=\"2\"\n");
  WriteFileBytes(user_ / "Logging" / "Deeper" / "Deepest.reg", "\"c\"=\"3\"\n");
  WriteFileBytes(user_ / "LoggingOld.reg", "\"a\"=\"1\"\n");
  WriteFileBytes(MachineKey("Logging"), "\"a\"=\"1\"\n");

  DeleteCompanyUserRegKey("Logging");
  EXPECT_FALSE(fs::exists(user_ / "Logging.reg"));
  EXPECT_FALSE(fs::exists(user_ / "Logging"));
  EXPECT_TRUE(fs::exists(user_ / "LoggingOld.reg"));
  EXPECT_TRUE(fs::exists(machine_ / "Logging.reg"));

  // Missing keys and names that would leave the company folder are ignored.
  DeleteCompanyUserRegKey("Logging");
  DeleteCompanyUserRegKey("..\\..");
  DeleteCompanyUserRegKey("LoggingOld\\..\\..");
  EXPECT_TRUE(fs::exists(user_ / "LoggingOld.reg"));
}

TEST(LowerCaseText, LowersUnicodeLettersAndKeepsTheRest) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"/OPT/Orvane/Support.EXE", "/opt/orvane/support.exe"},
      {"\xC3\x84\xC3\x96\xC3\x9C \xC3\x89"
       "COLE",
       "\xC3\xA4\xC3\xB6\xC3\xBC \xC3\xA9"
       "cole"},                                                  // ÄÖÜ ÉCOLE
      {"\xD0\x9F\xD0\xA0\xD0\x98", "\xD0\xBF\xD1\x80\xD0\xB8"},  // ПРИ
      {"\xCE\xA3\xCE\x9F", "\xCF\x83\xCE\xBF"},                  // ΣΟ
      {"\xF0\x9F\x98\x80 ok", "\xF0\x9F\x98\x80 ok"},            // emoji
      {"A\xFF\xC3"
       "B\xE2\x82",
       "a\xFF\xC3"
       "b\xE2\x82"},             // broken UTF-8 passes through
      {"\xC0\x80", "\xC0\x80"},  // overlong form stays bytes
  };
  for (const Case& c : cases) EXPECT_EQ(LowerCaseText(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace orvane
