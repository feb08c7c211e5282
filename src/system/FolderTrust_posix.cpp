// Trust by owner and mode bits. lstat, so that a symbolic link is seen as
// the link it is rather than as whatever it points at.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <fmt/format.h>

#include "system/FolderTrust.h"
#include "system/OSFunctions.h"

namespace orvane {

namespace {

constexpr mode_t kPrivateFolderMode = 0755;

bool TrustedOwner(uid_t uid) { return uid == 0 || uid == geteuid(); }

// The name without trailing separators: with one, lstat would follow a link.
std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string FolderOf(const std::string& file) {
  const auto slash = file.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
}

TTrust Untrusted(const std::string& reason) { return {false, false, reason}; }

// lstat of path, or the verdict when there is nothing to examine.
bool Examine(const std::string& path, struct stat& st, TTrust& verdict) {
  if (lstat(path.c_str(), &st) == 0) return true;
  const int error = errno;
  if (error == ENOENT || error == ENOTDIR)
    verdict = {true, true, {}};
  else
    verdict = Untrusted(path + " cannot be examined (" + SystemErrorMessage(error) + ")");
  return false;
}

// Owner and write bits; allowSticky lets a sticky folder that others may
// write pass.
TTrust CheckOwnerAndMode(const std::string& path, const struct stat& st, bool allowSticky) {
  if (!TrustedOwner(st.st_uid))
    return Untrusted(fmt::format("{} belongs to another user (uid {})", path, st.st_uid));
  const mode_t mode = st.st_mode & 07777;
  if ((mode & (S_IWGRP | S_IWOTH)) != 0 && !(allowSticky && (mode & S_ISVTX) != 0))
    return Untrusted(fmt::format("{} can be written by other users (mode {:04o})", path, mode));
  return {};
}

TTrust CheckFolder(const std::string& folder, bool allowSticky) {
  const std::string path = WithoutTrailingSlash(folder);
  struct stat st {};
  TTrust verdict;
  if (!Examine(path, st, verdict)) return verdict;
  if (S_ISLNK(st.st_mode)) return Untrusted(path + " is a symbolic link");
  if (!S_ISDIR(st.st_mode)) return Untrusted(path + " is no folder");
  return CheckOwnerAndMode(path, st, allowSticky);
}

}  // namespace

TTrust CheckFolderTrust(const std::string& folder) { return CheckFolder(folder, false); }

TTrust CheckFileTrust(const std::string& file) {
  struct stat st {};
  TTrust verdict;
  if (Examine(file, st, verdict)) {
    if (S_ISLNK(st.st_mode)) return Untrusted(file + " is a symbolic link");
    if (!S_ISREG(st.st_mode)) return Untrusted(file + " is no regular file");
    verdict = CheckOwnerAndMode(file, st, false);
  }
  if (!verdict.Trusted) return verdict;
  const TTrust folder = CheckFolder(FolderOf(file), true);
  if (folder.Missing) return verdict;
  return folder.Trusted ? verdict : folder;
}

TFolderCreation CreatePrivateFolder(const std::string& folder, std::string& error) {
  // The umask can only take bits away from 0755, never add write access.
  if (mkdir(WithoutTrailingSlash(folder).c_str(), kPrivateFolderMode) == 0) return TFolderCreation::Created;
  if (errno == EEXIST) return TFolderCreation::Existed;
  error = SystemErrorMessage(errno);
  return TFolderCreation::Failed;
}

}  // namespace orvane
