// Trust in folders and files that other local users can reach.
//
// On a shared computer another local user is an attacker. A folder such a
// user owns or may write can hold files they planted (a DLL beside a program
// that is started elevated, a replaced download, a settings file naming their
// server), and a file they may write says whatever they like. Folders the
// program makes for itself below the machine-wide application-data folder are
// therefore created private, and existing folders and settings files are used
// only when nobody but the user running the program and the system's
// administrators can change them.
//
// Trusted owners: the user running the program and the system (POSIX: root;
// Windows: SYSTEM, Administrators, TrustedInstaller). Writing means, on
// POSIX, a write bit for group or others (an access-control list that lets
// others write shows as a group write bit); on Windows any access-control
// entry that gives another account or group (Users, Everyone, Authenticated
// Users, another user, ...) the right to write, append, create, delete, delete
// children, or change the permissions or the owner, whether set on the entry
// itself or inherited.
#pragma once

#include <string>

namespace orvane {

struct TTrust {
  bool Trusted = true;
  // Nothing of that name exists (trusted: nothing can be planted in it yet).
  bool Missing = false;
  // Why not, naming the entry, for the log: "<path> belongs to another user
  // (uid 1001)".
  std::string Reason;
};

// A folder that is to hold the program's files: no link (symbolic link,
// junction or other reparse point), a folder, a trusted owner, and nobody
// else may write it.
TTrust CheckFolderTrust(const std::string& folder);

// A file whose content the program is to believe (a settings file): the file
// as above (a regular file), and its folder as above. On POSIX a folder that
// others may write counts when it is sticky and has a trusted owner (as /tmp
// does): nobody else can then remove or replace the file. A missing file in
// a trusted folder is trusted.
TTrust CheckFileTrust(const std::string& file);

enum class TFolderCreation { Created, Existed, Failed };

// Creates one folder level (the parent must exist) for the program's own
// use. POSIX: mode 0755 (the umask may take more away). Windows: a protected access list,
// nothing inherited from the parent: the creating user, SYSTEM and
// Administrators full control, Users read and execute; files and folders
// made inside inherit it. Existed when an entry of that name is already
// there (it is not examined: see CheckFolderTrust); on Failed, error says why.
TFolderCreation CreatePrivateFolder(const std::string& folder, std::string& error);

// The folders from below root down to folder that exist: the first that
// cannot be trusted decides; trusted when every existing one is (or when
// folder does not lie below root). Both end with the platform separator.
TTrust CheckFoldersBelow(const std::string& root, const std::string& folder);

// Creates folder with every missing folder above it. Below the machine-wide
// application-data folder each missing level is made with
// CreatePrivateFolder and each existing one must be trusted; elsewhere (the
// per-user folders, a folder an administrator configured) folders are made
// as usual. Empty on success, else what went wrong.
std::string ForceTrustedDirectories(const std::string& folder);

// Whether a path names a network location or a device rather than a file on
// this computer: "\\host\share\...", "//host/share/..." (any mix of both
// separators), "\\?\UNC\...", and every other form of the "\\?\", "\\.\"
// and "\??\" namespaces except a drive letter ("\\?\C:\..."). Opening such
// a path would hand the account's credentials to that host.
bool IsNetworkPath(const std::string& path);

}  // namespace orvane
