// Trust by owner and access list, read through a handle that does not follow
// reparse points; private folders with a protected access list.
#include <windows.h>
// windows.h first: the security headers rely on it.
#include <aclapi.h>
#include <sddl.h>

#include <fmt/format.h>

#include <memory>
#include <vector>

#include "system/FolderTrust.h"
#include "system/FolderTrust_win.h"
#include "system/OSFunctions.h"
#include "system/OSFunctions_win.h"

namespace orvane {

namespace {

// Rights that let their holder change what is in a folder or file, or take
// it over: write/add file, append/add subfolder, delete child, delete,
// change permissions, take ownership, and the generic rights that include
// them.
constexpr ACCESS_MASK kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE |
                                     WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// NT SERVICE\TrustedInstaller, which owns the system's own files.
constexpr const wchar_t* kTrustedInstallerSid =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

struct LocalFreeDeleter {
  void operator()(void* p) const { LocalFree(p); }
};
using LocalPtr = std::unique_ptr<void, LocalFreeDeleter>;

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

using SidBytes = std::vector<BYTE>;

SidBytes WellKnownSid(WELL_KNOWN_SID_TYPE type) {
  SidBytes sid(SECURITY_MAX_SID_SIZE);
  DWORD size = static_cast<DWORD>(sid.size());
  if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
  sid.resize(size);
  return sid;
}

// The user the process runs as.
SidBytes ProcessUserSid() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  const Handle token(raw);
  DWORD size = 0;
  GetTokenInformation(raw, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(raw, TokenUser, buffer.data(), size, &size)) return {};
  const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  const auto* bytes = static_cast<const BYTE*>(sid);
  return SidBytes(bytes, bytes + GetLengthSid(sid));
}

bool SameSid(const SidBytes& known, PSID sid) {
  return !known.empty() && EqualSid(const_cast<BYTE*>(known.data()), sid);
}

// The process user, the system and its administrators. OWNER RIGHTS stands
// for the owner, who is checked separately; CREATOR OWNER only matters for
// what is made inside, where it becomes that maker's own entry.
bool TrustedSid(PSID sid) {
  static const SidBytes user = ProcessUserSid();
  static const SidBytes system = WellKnownSid(WinLocalSystemSid);
  static const SidBytes admins = WellKnownSid(WinBuiltinAdministratorsSid);
  static const SidBytes ownerRights = WellKnownSid(WinCreatorOwnerRightsSid);
  static const SidBytes creatorOwner = WellKnownSid(WinCreatorOwnerSid);
  static const SidBytes installer = [] {
    PSID parsed = nullptr;
    if (!ConvertStringSidToSidW(kTrustedInstallerSid, &parsed)) return SidBytes{};
    const LocalPtr owned(parsed);
    const auto* bytes = static_cast<const BYTE*>(parsed);
    return SidBytes(bytes, bytes + GetLengthSid(parsed));
  }();
  for (const SidBytes* known : {&user, &system, &admins, &ownerRights, &creatorOwner, &installer})
    if (SameSid(*known, sid)) return true;
  return false;
}

std::string SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return "an unknown account";
  const LocalPtr owned(text);
  return WideToUtf8(text);
}

TTrust Untrusted(const std::string& reason) { return {false, false, reason}; }

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string FolderOf(const std::string& file) {
  const auto slash = file.find_last_of("\\/:");
  if (slash == std::string::npos) return ".";
  return file.substr(0, slash + 1);
}

TTrust CheckEntry(const std::string& name, bool folder) {
  const std::string path = WithoutTrailingSeparator(name);
  // The entry itself, not what a junction or link leads to.
  const HANDLE raw =
      CreateFileW(Utf8ToWide(path).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {true, true, {}};
    return Untrusted(path + " cannot be examined (" + SystemErrorMessage(static_cast<int>(error)) + ")");
  }
  const Handle handle(raw);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle.get(), &info))
    return Untrusted(path + " cannot be examined (" + SystemErrorMessage(static_cast<int>(GetLastError())) +
                     ")");
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return Untrusted(path + " is a link (reparse point)");
  const bool isFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder && !isFolder) return Untrusted(path + " is no folder");
  if (!folder && isFolder) return Untrusted(path + " is a folder");

  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status =
      GetSecurityInfo(handle.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      &owner, nullptr, &dacl, nullptr, &descriptor);
  if (status != ERROR_SUCCESS)
    return Untrusted(path + " cannot be examined (" + SystemErrorMessage(static_cast<int>(status)) + ")");
  const LocalPtr owned(descriptor);
  if (!owner || !TrustedSid(owner))
    return Untrusted(path + " belongs to another user (" + SidText(owner) + ")");
  if (!dacl) return Untrusted(path + " can be written by everyone (no access list)");
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) continue;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    // An inherit-only entry is handed on to what is made inside; it gives
    // no access to the entry itself.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    const PSID sid = &allowed->SidStart;
    if ((allowed->Mask & kWriteRights) != 0 && !TrustedSid(sid))
      return Untrusted(fmt::format("{} can be written by other users ({}: 0x{:08x})", path, SidText(sid),
                                   static_cast<unsigned>(allowed->Mask)));
  }
  return {};
}

}  // namespace

TTrust CheckFolderTrust(const std::string& folder) { return CheckEntry(folder, true); }

TTrust CheckFileTrust(const std::string& file) {
  const TTrust entry = CheckEntry(file, false);
  if (!entry.Trusted) return entry;
  const TTrust folder = CheckEntry(FolderOf(file), true);
  if (folder.Missing) return entry;
  return folder.Trusted ? entry : folder;
}

std::string PrivateFolderSddl() {
  const SidBytes user = ProcessUserSid();
  if (user.empty()) return {};
  const std::string me = SidText(const_cast<BYTE*>(user.data()));
  // P: protected, nothing the parent hands on (ProgramData lets every user
  // create files) is merged in. OICI: inherited by files and folders made
  // inside. FA: full control; 0x1200a9: read and execute.
  return "D:P(A;OICI;FA;;;" + me + ")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
}

TFolderCreation CreatePrivateFolder(const std::string& folder, std::string& error) {
  const std::string sddl = PrivateFolderSddl();
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (sddl.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                          Utf8ToWide(sddl).c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    error = "the folder's permissions could not be prepared";
    return TFolderCreation::Failed;
  }
  const LocalPtr owned(descriptor);
  SECURITY_ATTRIBUTES attributes{static_cast<DWORD>(sizeof(attributes)), descriptor, FALSE};
  if (CreateDirectoryW(Utf8ToWide(WithoutTrailingSeparator(folder)).c_str(), &attributes))
    return TFolderCreation::Created;
  const DWORD code = GetLastError();
  if (code == ERROR_ALREADY_EXISTS) return TFolderCreation::Existed;
  error = SystemErrorMessage(static_cast<int>(code));
  return TFolderCreation::Failed;
}

}  // namespace orvane
