// Private folders and trust by owner and access list.
//
// Wine enforces no access list, and it keeps none either: it turns a list
// into the Unix mode bits of the file (the owner's entry into the owner's
// bits, Everyone's into the others' bits, every other entry is dropped) and
// hands back a list made from those bits. So under Wine the tests show the
// list a private folder is made with from its descriptor, and the verdicts
// for what the mode bits can carry (Everyone may write); the cases for other
// accounts (Users, Authenticated Users, another user, another owner) run
// where the system keeps the list, and are skipped with that reason here.
#include <windows.h>
// windows.h first: the security headers rely on it.
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"
#include "system/DebugHook.h"
#include "system/FolderTrust.h"
#include "system/FolderTrust_win.h"
#include "system/OSFunctions.h"
#include "system/OSFunctions_win.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::vector<std::string> g_log;
void Record(const std::string& text) { g_log.push_back(text); }

std::string SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return "?";
  const std::string out = WideToUtf8(text);
  LocalFree(text);
  return out;
}

std::string ProcessUser() {
  HANDLE token = nullptr;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  std::vector<BYTE> buffer(512);
  DWORD size = 0;
  EXPECT_TRUE(GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size));
  CloseHandle(token);
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

struct TAce {
  std::string sid;
  ACCESS_MASK mask;
  BYTE flags;
  bool operator==(const TAce&) const = default;
};

// The access list of a descriptor, and whether it is protected from
// inheritance.
std::vector<TAce> AclOf(PSECURITY_DESCRIPTOR sd, bool& isProtected) {
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(sd, &control, &revision);
  isProtected = (control & SE_DACL_PROTECTED) != 0;
  std::vector<TAce> aces;
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    GetAce(dacl, i, &entry);
    auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    aces.push_back({SidText(&ace->SidStart), ace->Mask, ace->Header.AceFlags});
  }
  return aces;
}

// The access list as the system keeps it for a file or folder.
std::vector<TAce> ReadAcl(const std::string& path, bool& isProtected) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  std::wstring wide = Utf8ToWide(path);
  EXPECT_EQ(GetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                  nullptr, nullptr, &sd),
            static_cast<DWORD>(ERROR_SUCCESS));
  const std::vector<TAce> aces = AclOf(sd, isProtected);
  LocalFree(sd);
  return aces;
}

std::string OwnerOf(const std::string& path) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  PSID owner = nullptr;
  std::wstring wide = Utf8ToWide(path);
  if (GetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                            nullptr, &sd) != ERROR_SUCCESS)
    return {};
  const std::string text = SidText(owner);
  LocalFree(sd);
  return text;
}

// Gives the folder the access list of the SDDL text (and, when it names
// one, that owner). False when the system refuses.
bool SetSecurity(const std::string& path, const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr))
    return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  PSID owner = nullptr;
  GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted);
  GetSecurityDescriptorOwner(sd, &owner, &defaulted);
  SECURITY_INFORMATION what = PROTECTED_DACL_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (owner) what |= OWNER_SECURITY_INFORMATION;
  std::wstring wide = Utf8ToWide(path);
  const DWORD status =
      SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT, what, owner, nullptr, dacl, nullptr);
  LocalFree(sd);
  return status == ERROR_SUCCESS;
}

constexpr BYTE kInherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// Everyone's rights on the entry as the system keeps them, as the reason
// writes them.
std::string EveryoneMask(const std::string& path) {
  bool isProtected = false;
  for (const TAce& ace : ReadAcl(path, isProtected))
    if (ace.sid == "S-1-1-0") {
      char text[16];
      snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(ace.mask));
      return text;
    }
  return "?";
}

// Whether the system keeps an access list as it was set (Windows does; Wine
// keeps only what Unix mode bits can say).
bool KeepsAccessLists(const TempDir& dir) {
  const std::string probe = test::PathUtf8(dir / "probe");
  fs::create_directory(dir / "probe");
  const std::wstring sddl = L"D:P(A;;FA;;;" + Utf8ToWide(ProcessUser()) + L")(A;;0x1200a9;;;BU)";
  if (!SetSecurity(probe, sddl)) return false;
  bool isProtected = false;
  const std::vector<TAce> aces = ReadAcl(probe, isProtected);
  return isProtected &&
         std::any_of(aces.begin(), aces.end(), [](const TAce& a) { return a.sid == "S-1-5-32-545"; });
}

constexpr const char* kNoListsKept =
    "Wine keeps no access lists (it turns them into Unix mode bits): shown where the system keeps them";

TEST(FolderTrustWin, APrivateFolderHasAProtectedListOwnerSystemAdministratorsFullUsersReadAndExecute) {
  const std::vector<TAce> expected = {{ProcessUser(), FILE_ALL_ACCESS, kInherited},
                                      {"S-1-5-18", FILE_ALL_ACCESS, kInherited},
                                      {"S-1-5-32-544", FILE_ALL_ACCESS, kInherited},
                                      {"S-1-5-32-545", FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, kInherited}};
  // The descriptor the folder is made with.
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(Utf8ToWide(PrivateFolderSddl()).c_str(),
                                                                   SDDL_REVISION_1, &sd, nullptr))
      << PrivateFolderSddl();
  bool isProtected = false;
  EXPECT_EQ(AclOf(sd, isProtected), expected);
  EXPECT_TRUE(isProtected);
  LocalFree(sd);

  TempDir dir;
  const std::string folder = test::PathUtf8(dir / "private") + "\\";
  std::string error;
  ASSERT_EQ(CreatePrivateFolder(folder, error), TFolderCreation::Created) << error;
  EXPECT_TRUE(CheckFolderTrust(folder).Trusted) << CheckFolderTrust(folder).Reason;
  EXPECT_EQ(CreatePrivateFolder(folder, error), TFolderCreation::Existed);
  if (!KeepsAccessLists(dir)) GTEST_SKIP() << kNoListsKept << "; the folder's own list is not read back";
  EXPECT_EQ(ReadAcl(folder, isProtected), expected);
  EXPECT_TRUE(isProtected);
}

TEST(FolderTrustWin, AFolderOrFileEveryoneMayWriteIsNotTrusted) {
  TempDir dir;
  const std::wstring me = Utf8ToWide(ProcessUser());
  const std::string folder = test::PathUtf8(dir / "open");
  fs::create_directory(dir / "open");
  const std::string file = folder + "\\LogSettings.ini";
  test::WriteFileBytes(test::Utf8Path(file), "[Main]\r\n");
  ASSERT_TRUE(SetSecurity(file, L"D:P(A;;FA;;;" + me + L")(A;;0x1200a9;;;WD)"));
  ASSERT_TRUE(SetSecurity(folder, L"D:P(A;OICI;FA;;;" + me + L")(A;OICI;0x1200a9;;;WD)"));
  EXPECT_TRUE(CheckFolderTrust(folder).Trusted) << CheckFolderTrust(folder).Reason;
  EXPECT_TRUE(CheckFileTrust(file).Trusted) << CheckFileTrust(file).Reason;

  const std::string writable = " can be written by other users (S-1-1-0: 0x";
  ASSERT_TRUE(SetSecurity(file, L"D:P(A;;FA;;;" + me + L")(A;;0x12019f;;;WD)"));
  EXPECT_EQ(CheckFileTrust(file).Reason.rfind(file + writable, 0), 0u) << CheckFileTrust(file).Reason;
  ASSERT_TRUE(SetSecurity(file, L"D:P(A;;FA;;;" + me + L")(A;;0x1200a9;;;WD)"));
  ASSERT_TRUE(SetSecurity(folder, L"D:P(A;OICI;FA;;;" + me + L")(A;OICI;0x1201bf;;;WD)"));
  EXPECT_EQ(CheckFolderTrust(folder).Reason.rfind(folder + writable, 0), 0u)
      << CheckFolderTrust(folder).Reason;
  // The file is only as trusted as its folder.
  EXPECT_EQ(CheckFileTrust(file).Reason, CheckFolderTrust(folder).Reason);
}

TEST(FolderTrustWin, FoldersAndFilesOthersOwnOrMayWriteAreNotTrusted) {
  TempDir dir;
  if (!KeepsAccessLists(dir)) GTEST_SKIP() << kNoListsKept;
  const std::string me = ProcessUser();
  const std::wstring meW = Utf8ToWide(me);
  const struct {
    const char* name;
    std::wstring sddl;
    const char* reason;  // empty: trusted
  } cases[] = {
      {"own, Users read", L"D:P(A;OICI;FA;;;" + meW + L")(A;OICI;0x1200a9;;;BU)", ""},
      {"Everyone read", L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;WD)", ""},
      {"Users may create files", L"D:P(A;OICI;FA;;;" + meW + L")(A;;0x1200ab;;;BU)",
       "can be written by other users (S-1-5-32-545: 0x001200ab)"},
      {"Everyone may add folders", L"D:P(A;OICI;FA;;;" + meW + L")(A;;0x1200ad;;;WD)",
       "can be written by other users (S-1-1-0: 0x001200ad)"},
      {"Authenticated Users may change permissions", L"D:P(A;OICI;FA;;;" + meW + L")(A;;0x1600a9;;;AU)",
       "can be written by other users (S-1-5-11: 0x001600a9)"},
      {"another user has full control", L"D:P(A;OICI;FA;;;" + meW + L")(A;;FA;;;S-1-5-21-1-2-3-1001)",
       "can be written by other users (S-1-5-21-1-2-3-1001: 0x001f01ff)"},
      {"no access list at all", L"D:NO_ACCESS_CONTROL", "can be written by everyone (no access list)"},
      // Handed on to what is made inside, not given to the folder itself.
      {"Users' right for what is made inside", L"D:P(A;OICI;FA;;;" + meW + L")(A;OICIIO;FA;;;BU)", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = test::PathUtf8(dir / c.name);
    fs::create_directory(dir / c.name);
    ASSERT_TRUE(SetSecurity(folder, c.sddl));
    const TTrust trust = CheckFolderTrust(folder);
    EXPECT_EQ(trust.Trusted, std::string(c.reason).empty()) << trust.Reason;
    EXPECT_EQ(trust.Reason, std::string(c.reason).empty() ? "" : folder + " " + c.reason);

    // A file there believes its folder only as far as the folder is trusted.
    const std::string file = folder + "\\LogSettings.ini";
    test::WriteFileBytes(test::Utf8Path(file), "[Main]\r\n");
    ASSERT_TRUE(SetSecurity(file, L"D:P(A;;FA;;;" + meW + L")(A;;0x1200a9;;;BU)"));
    EXPECT_EQ(CheckFileTrust(file).Reason, trust.Reason);
  }

  const std::string file = test::PathUtf8(dir / "own, Users read" / "LogSettings.ini");
  ASSERT_TRUE(SetSecurity(file, L"D:P(A;;FA;;;" + meW + L")(A;;0x12019f;;;BU)"));
  EXPECT_EQ(CheckFileTrust(file).Reason, file + " can be written by other users (S-1-5-32-545: 0x0012019f)");

  // Another owner: Windows lets only an administrator give a folder away;
  // Wine stores whatever it is told.
  const std::string foreign = test::PathUtf8(dir / "foreign");
  fs::create_directory(dir / "foreign");
  if (!SetSecurity(foreign, L"O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;" + meW + L")") ||
      OwnerOf(foreign) != "S-1-5-21-1-2-3-1001")
    GTEST_SKIP() << "this system does not let the test hand a folder to another account";
  EXPECT_EQ(CheckFolderTrust(foreign).Reason, foreign + " belongs to another user (S-1-5-21-1-2-3-1001)");
}

// The configuration folder below the common application-data folder of the
// test's Wine prefix: made private, and refused when another user could
// write it.
class ConfigFolderTrustWin : public testing::Test {
 protected:
  void SetUp() override {
    ReleaseFolderCaches();
    g_log.clear();
    madeCompany_ = !fs::exists(test::Utf8Path(company));
    if (fs::exists(test::Utf8Path(config)))
      GTEST_SKIP() << config << " exists already; the test makes it afresh and removes it";
    ran_ = true;
  }
  void TearDown() override {
    SetSystemDebugHook(nullptr);
    ReleaseFolderCaches();
    std::error_code ec;
    if (ran_) fs::remove_all(test::Utf8Path(madeCompany_ ? company : config), ec);
  }
  bool madeCompany_ = false, ran_ = false;
  const std::string company = GetCompanyDataFolder("", false);
  const std::string config = GetCompanyDataFolder("RemoteSupport", false);
};

TEST_F(ConfigFolderTrustWin, MadePrivateWhenMissingAndGivenUpForTheUsersOwnWhenOthersMayWriteIt) {
  SetSystemDebugHook(&Record);
  EXPECT_EQ(GetConfigPath("RemoteSupport"), config);
  EXPECT_EQ(ForceTrustedDirectories(config), "");
  for (const std::string& level : {company, config}) EXPECT_TRUE(CheckFolderTrust(level).Trusted) << level;

  // A folder every user may create files in. (An older version made it with
  // the permissions ProgramData hands on, which give that right to Users;
  // Wine can carry it only for Everyone.)
  ASSERT_TRUE(SetSecurity(config, L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;CI;0x1201bf;;;WD)"));
  ReleaseFolderCaches();
  g_log.clear();
  const std::string own = GetCompanyDataFolder("RemoteSupport", true);
  EXPECT_EQ(GetConfigPath("RemoteSupport"), own);
  const std::string stripped = config.substr(0, config.size() - 1);
  const std::string line = "Config folder " + config + " not trusted: " + stripped +
                           " can be written by other users (S-1-1-0: 0x" + EveryoneMask(config) +
                           "); using " + own + " instead";
  EXPECT_NE(std::find(g_log.begin(), g_log.end(), line), g_log.end()) << testing::PrintToString(g_log);
  EXPECT_EQ(g_log.back(), "entry not found, using default config dir: " + own);
  EXPECT_EQ(ForceTrustedDirectories(config).rfind("the folder " + config + " is not trusted: ", 0), 0u);
}

}  // namespace
}  // namespace orvane
