// WriteFileReplacing against the Windows file system: the old file moved
// aside under a backup name, share modes instead of permissions, Win32 error
// texts.

// Before windows.h, as the loopback server's Winsock header demands.
#include <winsock2.h>

#include <windows.h>
// After windows.h, which they rely on.
#include <aclapi.h>
#include <sddl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/DownloadFile.h"
#include "net/DownloadTestSupport.h"
#include "support/FileHolder_win.h"
#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"
#include "system/OSFunctions.h"
#include "system/OSFunctions_win.h"

namespace orvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::StartsWith;

// A handle on a file for the life of the object, opened with the given share
// mode, as another program holding the file would.
class OpenFile {
 public:
  OpenFile(const std::filesystem::path& file, DWORD shareMode)
      : handle_(CreateFileW(file.c_str(), GENERIC_READ, shareMode, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~OpenFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  // The file's bytes as this handle sees them, from the start.
  std::string Read() const {
    SetFilePointer(handle_, 0, nullptr, FILE_BEGIN);
    std::string bytes(256, '\0');
    DWORD read = 0;
    if (!ReadFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) return "<failed>";
    bytes.resize(read);
    return bytes;
  }

 private:
  HANDLE handle_;
};

std::string WriteError(const std::filesystem::path& file, const std::string& bytes) {
  try {
    WriteFileReplacing(file.string(), bytes);
  } catch (const EFileWriteError& e) {
    return e.TypeName() + ": " + e.what();
  }
  return "";
}

TEST(WriteFileReplacing, ReplacesWholeFilesNewOrOldAlsoByRelativeName) {
  TempDir dir;
  WriteFileReplacing((dir / "fresh.exe").string(), "first");
  EXPECT_EQ(ReadFileBytes(dir / "fresh.exe"), "first");

  // A reader that lets others delete keeps seeing the old file whole: it is
  // replaced, not overwritten in place.
  WriteFileBytes(dir / "tool.exe", "old tool, longer than the new one");
  {
    OpenFile reader(dir / "tool.exe", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_TRUE(reader.IsOpen());
    WriteFileReplacing((dir / "tool.exe").string(), "new tool");
    EXPECT_EQ(reader.Read(), "old tool, longer than the new one");
  }
  EXPECT_EQ(ReadFileBytes(dir / "tool.exe"), "new tool");

  // A bare file name lands in the working folder; the backup then has no
  // folder part either.
  {
    ScopedCwd cwd(dir.path());
    WriteFileReplacing("tool.exe", "newer tool");
    WriteFileReplacing("other.exe", "other");
  }
  EXPECT_EQ(ReadFileBytes(dir / "tool.exe"), "newer tool");
  EXPECT_EQ(ReadFileBytes(dir / "other.exe"), "other");
  EXPECT_THAT(FolderEntries(dir.path()), ElementsAre("fresh.exe", "other.exe", "tool.exe"));
}

TEST(WriteFileReplacing, FileHeldWithoutShareDeleteStaysWhole) {
  TempDir dir;
  WriteFileBytes(dir / "tool.exe", "running tool");
  {
    OpenFile holder(dir / "tool.exe", FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(holder.IsOpen());
    EXPECT_THAT(WriteError(dir / "tool.exe", "new tool"),
                StartsWith("EWriteError: Cannot replace file \"" + (dir / "tool.exe").string() + "\". "));
    EXPECT_EQ(holder.Read(), "running tool");
  }
  EXPECT_EQ(ReadFileBytes(dir / "tool.exe"), "running tool");
  // Neither the new file nor a backup is left beside it.
  EXPECT_THAT(FolderEntries(dir.path()), ElementsAre("tool.exe"));

  // Once the other program lets go, the replacement works.
  WriteFileReplacing((dir / "tool.exe").string(), "new tool");
  EXPECT_EQ(ReadFileBytes(dir / "tool.exe"), "new tool");
}

// A virus scanner or the search indexer opens the new download, or the file
// it replaces, without sharing right after it is closed: a moment of that is
// waited out, a longer hold fails as before and leaves the old file (or
// nothing) in place. Wine has no scanner; another handle plays its part.
TEST(WriteFileReplacing, FileInUseForAMomentIsWaitedOut) {
  struct Case {
    const char* name;
    bool oldFileExists;
    bool newFileHeld;  // else the old one
  };
  for (const Case& c : {Case{"new download held", false, true}, Case{"replacing download held", true, true},
                        Case{"replaced file held", true, false}}) {
    for (const bool momentOnly : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (momentOnly ? ", for a moment" : ", for long"));
      TempDir dir;
      const std::filesystem::path target = dir / "tool.exe";
      if (c.oldFileExists) WriteFileBytes(target, "old tool");
      std::string error;
      {
        TReplacingFile file(target.string());
        file.Write("new tool", 8);
        file.Close();
        const TFileHolder holder(c.newFileHeld ? std::filesystem::path(file.TempPath()) : target,
                                 momentOnly ? std::optional(std::chrono::milliseconds(300)) : std::nullopt);
        ASSERT_TRUE(holder.IsOpen());
        try {
          file.Commit();
        } catch (const EFileWriteError& e) {
          error = e.TypeName() + ": " + e.what();
        }
      }
      if (momentOnly) {
        EXPECT_EQ(error, "");
        EXPECT_EQ(ReadFileBytes(target), "new tool");
      } else {
        EXPECT_EQ(error, "EWriteError: Cannot replace file \"" + target.string() + "\". " +
                             SystemErrorMessage(ERROR_SHARING_VIOLATION));
        if (c.oldFileExists) {
          EXPECT_EQ(ReadFileBytes(target), "old tool");
        }
      }
      const std::vector<std::string> left = {"tool.exe"};
      EXPECT_EQ(FolderEntries(dir.path()), c.oldFileExists || momentOnly ? left : std::vector<std::string>{});
    }
  }
}

TEST(WriteFileReplacing, UnwritablePlacesAreReportedWithTheSystemReason) {
  TempDir dir;
  WriteFileBytes(dir / "plainfile", "");
  std::filesystem::create_directory(dir / "taken.exe");
  struct Case {
    std::filesystem::path path;
    std::string message;
  };
  for (const Case& c : {
           Case{dir / "no-such-folder" / "tool.exe", "EFCreateError: Cannot create file \"" +
                                                         (dir / "no-such-folder" / "tool.exe").string() +
                                                         "\". " + SystemErrorMessage(ERROR_PATH_NOT_FOUND)},
           Case{dir / "plainfile" / "tool.exe", "EFCreateError: Cannot create file \"" +
                                                    (dir / "plainfile" / "tool.exe").string() + "\". " +
                                                    SystemErrorMessage(ERROR_PATH_NOT_FOUND)},
       }) {
    SCOPED_TRACE(c.path.string());
    EXPECT_EQ(WriteError(c.path, "new tool"), c.message);
  }
  // A folder where the file should go stays a folder.
  EXPECT_EQ(WriteError(dir / "taken.exe", "new tool"), "EWriteError: Cannot replace file \"" +
                                                           (dir / "taken.exe").string() + "\". " +
                                                           SystemErrorMessage(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.exe"));
  EXPECT_THAT(FolderEntries(dir.path()), ElementsAre("plainfile", "taken.exe"));
}

constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

DWORD Attributes(const std::filesystem::path& file) { return GetFileAttributesW(file.c_str()); }

// A file an administrator hid stays hidden when it is replaced; a visible
// one stays visible.
TEST(WriteFileReplacing, HiddenAndSystemAttributesAreKept) {
  TempDir dir;
  WriteFileBytes(dir / "hidden.exe", "old tool");
  WriteFileBytes(dir / "plain.exe", "old tool");
  ASSERT_TRUE(SetFileAttributesW((dir / "hidden.exe").c_str(), kHiddenSystem));
  WriteFileReplacing((dir / "hidden.exe").string(), "new tool");
  WriteFileReplacing((dir / "plain.exe").string(), "new tool");
  EXPECT_EQ(ReadFileBytes(dir / "hidden.exe"), "new tool");
  EXPECT_EQ(Attributes(dir / "hidden.exe") & kHiddenSystem, kHiddenSystem);
  EXPECT_EQ(Attributes(dir / "plain.exe") & kHiddenSystem, 0u);
  EXPECT_THAT(FolderEntries(dir.path()), ElementsAre("hidden.exe", "plain.exe"));
}

// The old file's copy that cannot be deleted (here: read-only; in use: a
// program still running) stays hidden in the folder, named after the file,
// while the new file takes the name.
TEST(WriteFileReplacing, BackupThatCannotBeDeletedIsHiddenAndRecognisable) {
  TempDir dir;
  WriteFileBytes(dir / "tool.exe", "old tool");
  ASSERT_TRUE(SetFileAttributesW((dir / "tool.exe").c_str(), FILE_ATTRIBUTE_READONLY));
  WriteFileReplacing((dir / "tool.exe").string(), "new tool");
  EXPECT_EQ(ReadFileBytes(dir / "tool.exe"), "new tool");
  EXPECT_EQ(Attributes(dir / "tool.exe") & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  const std::vector<std::string> entries = FolderEntries(dir.path());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], "tool.exe");
  EXPECT_THAT(entries[1], StartsWith("tool.exe."));
  EXPECT_THAT(entries[1], EndsWith(".orvane-old"));
  EXPECT_EQ(ReadFileBytes(dir / entries[1]), "old tool");
  EXPECT_NE(Attributes(dir / entries[1]) & FILE_ATTRIBUTE_HIDDEN, 0u);
  SetFileAttributesW((dir / entries[1]).c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The tool being replaced may still run: Windows lets its file be renamed
// though neither replaced nor deleted, so the new one takes the name and the
// old one stays beside it, hidden, until it is no longer in use. (Wine lets a
// running program's file be deleted, so there the backup is gone at once.)
TEST(WriteFileReplacing, RunningProgramIsReplacedAndItsBackupHidden) {
  TempDir dir;
  const std::filesystem::path exe = dir / "tool.exe";
  std::filesystem::copy_file(StandInProgram(), exe);
  const ScopedEnv seconds("ORVANE_STANDIN_SECONDS", "60");
  TStartedProcess running(exe);
  WriteFileReplacing(exe.string(), "new tool");
  EXPECT_EQ(ReadFileBytes(exe), "new tool");
  EXPECT_EQ(Attributes(exe) & FILE_ATTRIBUTE_HIDDEN, 0u);
  for (const std::string& name : FolderEntries(dir.path())) {
    if (name == "tool.exe") continue;
    EXPECT_THAT(name, StartsWith("tool.exe."));
    EXPECT_THAT(name, EndsWith(".orvane-old"));
    EXPECT_NE(Attributes(dir / name) & FILE_ATTRIBUTE_HIDDEN, 0u) << name;
  }
  if (!RunningUnderWine()) {
    EXPECT_EQ(FolderEntries(dir.path()).size(), 2u);
  }
}

// A new download carries no stream the old file had (such as the mark a
// browser leaves in Zone.Identifier): it is not the file that was marked.
TEST(WriteFileReplacing, AlternateStreamsOfTheOldFileAreNotCarriedOver) {
  TempDir dir;
  WriteFileBytes(dir / "tool.exe", "old tool");
  const std::filesystem::path stream = dir.path() / "tool.exe:Zone.Identifier";
  const HANDLE marked =
      CreateFileW(stream.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(marked, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(marked, "[ZoneTransfer]", 14, &written, nullptr));
  CloseHandle(marked);
  ASSERT_EQ(ReadFileBytes(stream), "[ZoneTransfer]");
  if (FolderEntries(dir.path()).size() != 1) {
    GTEST_SKIP() << "Wine supports alternate data streams only partially: \"tool.exe:Zone.Identifier\" "
                    "became a file of its own beside tool.exe, so what the replacement does to a "
                    "file's streams is seen on Windows only";
  }

  WriteFileReplacing((dir / "tool.exe").string(), "new tool");
  EXPECT_EQ(ReadFileBytes(dir / "tool.exe"), "new tool");
  EXPECT_EQ(GetFileAttributesW(stream.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_THAT(FolderEntries(dir.path()), ElementsAre("tool.exe"));
}

std::string SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return "?";
  std::string result = WideToUtf8(text);
  LocalFree(text);
  return result;
}

std::string AccountSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "?";
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  const auto buffer = std::make_unique<unsigned char[]>(size);
  std::string sid = "?";
  if (GetTokenInformation(token, TokenUser, buffer.get(), size, &size))
    sid = SidText(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid);
  CloseHandle(token);
  return sid;
}

struct TDacl {
  bool isProtected = false;
  std::map<std::string, ACCESS_MASK> allowed;  // by SID
  int otherAces = 0;
};

TDacl ReadDacl(const std::filesystem::path& file) {
  TDacl result;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, &descriptor) != ERROR_SUCCESS)
    return result;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  result.isProtected = (control & SE_DACL_PROTECTED) != 0;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    const auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
      ++result.otherAces;
      continue;
    }
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    result.allowed[SidText(&allowed->SidStart)] |= allowed->Mask;
  }
  LocalFree(descriptor);
  return result;
}

void SetDacl(const std::filesystem::path& file, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(
      ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr));
  PACL dacl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  EXPECT_EQ(SetNamedSecurityInfoW(const_cast<LPWSTR>(file.c_str()), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, dacl, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  LocalFree(descriptor);
}

constexpr ACCESS_MASK kAnyWrite =
    FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | DELETE | GENERIC_WRITE | GENERIC_ALL;

// A new download, and one that replaces a file anyone could change, may be
// changed by nobody but the owner, SYSTEM and Administrators: the old file's
// DACL is not taken over. (Wine derives the DACL it reports from the file's
// Unix mode, so this holds there too.)
TEST(WriteFileReplacing, NewFileIsWritableByOwnerSystemAndAdministratorsOnly) {
  TempDir dir;
  WriteFileBytes(dir / "tool.exe", "old tool, anyone may change it");
  SetDacl(dir / "tool.exe", L"D:P(A;;FA;;;WD)");
  ASSERT_NE(ReadDacl(dir / "tool.exe").allowed["S-1-1-0"] & FILE_WRITE_DATA, 0u);

  WriteFileReplacing((dir / "tool.exe").string(), "new tool");
  WriteFileReplacing((dir / "fresh.json").string(), "new list");

  const std::string owner = AccountSid();
  for (const char* name : {"tool.exe", "fresh.json"}) {
    SCOPED_TRACE(name);
    const TDacl dacl = ReadDacl(dir / name);
    EXPECT_FALSE(dacl.allowed.empty());
    for (const auto& [sid, mask] : dacl.allowed) {
      if (sid != owner && sid != "S-1-5-18" && sid != "S-1-5-32-544") {
        EXPECT_EQ(mask & kAnyWrite, 0u) << sid;
      }
    }
  }
}

// The DACL a download gets, read back as it was set: its own (protected,
// nothing inherited from the folder), full access for the owner, SYSTEM and
// Administrators, read and execute for Users.
TEST(WriteFileReplacing, NewFileHasAProtectedDaclOfItsOwn) {
  TempDir dir;
  WriteFileBytes(dir / "probe", "");
  SetDacl(dir / "probe", L"D:P(A;;FA;;;BA)");
  if (ReadDacl(dir / "probe").allowed.count("S-1-5-32-544") == 0)
    GTEST_SKIP()
        << "this system does not keep a DACL as it was set: Wine derives the DACL it reports from the "
           "file's Unix mode and does not enforce DACLs; the DACL itself is seen on Windows only";

  WriteFileBytes(dir / "tool.exe", "old tool");
  SetDacl(dir / "tool.exe", L"D:P(A;;FA;;;WD)");
  WriteFileReplacing((dir / "tool.exe").string(), "new tool");
  WriteFileReplacing((dir / "fresh.json").string(), "new list");

  const std::map<std::string, ACCESS_MASK> expected = {
      {AccountSid(), FILE_ALL_ACCESS},
      {"S-1-5-18", FILE_ALL_ACCESS},                               // SYSTEM
      {"S-1-5-32-544", FILE_ALL_ACCESS},                           // Administrators
      {"S-1-5-32-545", FILE_GENERIC_READ | FILE_GENERIC_EXECUTE},  // Users
  };
  for (const char* name : {"tool.exe", "fresh.json"}) {
    SCOPED_TRACE(name);
    const TDacl dacl = ReadDacl(dir / name);
    EXPECT_TRUE(dacl.isProtected);
    EXPECT_EQ(dacl.allowed, expected);
    EXPECT_EQ(dacl.otherAces, 0);
  }
}

}  // namespace
}  // namespace orvane::test
