// The company key in the real registry, written with the system's own
// reg.exe and read back through the registry API.
//
// On 64-bit Windows HKLM\Software has two views: a 32-bit program sees the
// 32-bit one (stored below WOW6432Node), a 64-bit program the native one,
// and so does the reg.exe each starts (file system redirection picks the
// reg.exe of the same bitness); 32-bit Windows has only one. Writing below
// HKLM needs administrator rights on Windows; Wine grants them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/WindowsTestSupport_win.h"
#include "system/OSFunctions_win.h"
#include "system/Registry.h"

namespace orvane {
namespace {

using test::RunReg;

constexpr char kCompany[] = "Software\\Orvane mbH Tessel\\";

// A key name of this run, removed under both roots when the test ends.
class RegistryWin : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const char* root : {"HKLM\\", "HKCU\\"}) {
      for (const std::string& key : {key_, key_ + "Old"}) {
        for (const std::string& view : Views()) {
          std::vector<std::string> query = {"query", root + std::string(kCompany) + key};
          if (!view.empty()) query.push_back(view);
          if (RunReg(query) == 0) {
            query[0] = "delete";
            query.push_back("/f");
            EXPECT_EQ(RunReg(query), 0u);
          }
        }
      }
    }
  }

  // reg.exe's switches for the registry views: both on 64-bit Windows, none
  // (the only view) on 32-bit Windows.
  static std::vector<std::string> Views() {
    if (test::Running64BitWindows()) return {"/reg:32", "/reg:64"};
    return {""};
  }

  // reg add <root>\Software\Orvane mbH Tessel\<subkey> with the given value
  // arguments (/v name /d data, /ve, /t type).
  void Add(const std::string& root, const std::string& subkey, std::vector<std::string> value) {
    value.insert(value.begin(), {"add", root + "\\" + kCompany + subkey});
    value.push_back("/f");
    ASSERT_EQ(RunReg(value), 0u) << subkey;
  }

  static bool UserKeyExists(const std::string& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Utf8ToWide(kCompany + subkey).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }

  const std::string key_ = "Test-" + std::to_string(GetCurrentProcessId());
};

TEST_F(RegistryWin, ReadsStringsAndFallsBackToTheDefault) {
  Add("HKLM", key_, {"/v", "C:\\Tools\\Orvane Support.exe", "/d", "D:\\Conf"});
  Add("HKLM", key_, {"/v", "Gr\xC3\xBC\xC3\x9F Gott", "/d", "Wert \xE2\x82\xAC"});
  Add("HKLM", key_, {"/v", "expandable", "/t", "REG_EXPAND_SZ", "/d", "%ORVANE_REG_TEST%\\x"});
  Add("HKLM", key_, {"/v", "unknown", "/t", "REG_EXPAND_SZ", "/d", "%ORVANE_REG_UNSET%\\x"});
  Add("HKLM", key_, {"/v", "literal", "/d", "%ORVANE_REG_TEST%\\x"});
  Add("HKLM", key_, {"/v", "number", "/t", "REG_DWORD", "/d", "1"});
  Add("HKLM", key_, {"/v", "empty", "/d", ""});
  Add("HKLM", key_, {"/ve", "/d", "unnamed"});
  Add("HKLM", key_ + "\\Inner", {"/v", "n", "/d", "inner"});
  Add("HKCU", key_, {"/v", "user", "/d", "per user"});
  // Set here, after reg.exe ran, so only this process's environment has it;
  // longer than the stored text, so the expansion needs a larger buffer.
  const std::string longFolder(300, 'a');
  ASSERT_TRUE(SetEnvironmentVariableW(L"ORVANE_REG_TEST", Utf8ToWide("D:\\Gr\xC3\xBC\xC3\x9F"
                                                                     "e\\" +
                                                                     longFolder)
                                                              .c_str()));
  const struct {
    std::string subkey, name, expected;
  } cases[] = {
      {key_, "C:\\Tools\\Orvane Support.exe", "D:\\Conf"},
      {key_, "c:\\tools\\orvane support.exe", "D:\\Conf"},  // the registry ignores case
      {key_, "Gr\xC3\xBC\xC3\x9F Gott", "Wert \xE2\x82\xAC"},
      {key_, "expandable",
       "D:\\Gr\xC3\xBC\xC3\x9F"
       "e\\" +
           longFolder + "\\x"},
      {key_, "unknown", "%ORVANE_REG_UNSET%\\x"},  // left as written, as the system does
      {key_, "literal", "%ORVANE_REG_TEST%\\x"},   // a plain string is not expanded
      {key_, "number", "default"},
      {key_, "empty", "default"},
      {key_, "", "unnamed"},
      {key_, "missing", "default"},
      {key_, "user", "default"},  // only the machine-wide key is read
      {key_ + "\\Inner", "n", "inner"},
      {key_ + "\\Missing", "n", "default"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadCompanyRegString(c.subkey, c.name, "default"), c.expected) << c.subkey << " " << c.name;
}

// Administrators are told to write the machine-wide values for the shipped
// 32-bit program below WOW6432Node (the 32-bit view); a 64-bit build reads
// the native view.
TEST_F(RegistryWin, ReadsTheMachineWideViewOfItsOwnBitness) {
  if (!test::Running64BitWindows()) GTEST_SKIP() << "32-bit Windows has a single registry view";
  Add("HKLM", key_, {"/v", "view", "/d", "32-bit", "/reg:32"});
  Add("HKLM", key_, {"/v", "view", "/d", "64-bit", "/reg:64"});
  EXPECT_EQ(ReadCompanyRegString(key_, "view", "default"), sizeof(void*) == 4 ? "32-bit" : "64-bit");
  // The 32-bit view is the WOW6432Node key of the native one.
  EXPECT_EQ(
      RunReg({"query", "HKLM\\Software\\WOW6432Node\\Orvane mbH Tessel\\" + key_, "/v", "view", "/reg:64"}),
      0u);
}

TEST_F(RegistryWin, DeleteRemovesTheUserKeyWithSubkeysOnly) {
  Add("HKCU", key_, {"/v", "a", "/d", "1"});
  Add("HKCU", key_ + "\\Deeper\\Deepest", {"/v", "c", "/d", "3"});
  Add("HKCU", key_ + "Old", {"/v", "a", "/d", "1"});
  Add("HKLM", key_, {"/v", "a", "/d", "1"});

  DeleteCompanyUserRegKey(key_);
  EXPECT_FALSE(UserKeyExists(key_));
  EXPECT_EQ(RunReg({"query", "HKCU\\" + std::string(kCompany) + key_}), 1u);
  EXPECT_TRUE(UserKeyExists(key_ + "Old"));
  EXPECT_EQ(ReadCompanyRegString(key_, "a", "default"), "1");

  DeleteCompanyUserRegKey(key_);  // already gone: nothing happens
  EXPECT_TRUE(UserKeyExists(key_ + "Old"));
}

}  // namespace
}  // namespace orvane
