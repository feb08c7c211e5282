#include "system/FolderTrust.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "system/OSFunctions.h"
#include "system/SysUtils.h"

namespace orvane {

namespace {

// root's subfolders on the way to folder, each with its trailing separator:
// "/r/" and "/r/a/b/" give "/r/a/", "/r/a/b/". Empty when folder does not
// lie below root.
std::vector<std::string> LevelsBelow(const std::string& root, const std::string& folder) {
  std::vector<std::string> levels;
  if (root.empty() || folder.size() <= root.size() || folder.compare(0, root.size(), root) != 0)
    return levels;
  for (auto pos = folder.find(PathDelim, root.size()); pos != std::string::npos;
       pos = folder.find(PathDelim, pos + 1))
    levels.push_back(folder.substr(0, pos + 1));
  if (folder.back() != PathDelim) levels.push_back(folder + PathDelim);
  return levels;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(const std::string& text, std::size_t pos) {
  if (pos + 2 > text.size()) return false;
  const char c = text[pos];
  if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) || text[pos + 1] != ':') return false;
  return pos + 2 == text.size() || IsSeparator(text[pos + 2]);
}

}  // namespace

TTrust CheckFoldersBelow(const std::string& root, const std::string& folder) {
  for (const std::string& level : LevelsBelow(root, folder)) {
    TTrust trust = CheckFolderTrust(level);
    if (trust.Missing) return {};
    if (!trust.Trusted) return trust;
  }
  return {};
}

std::string ForceTrustedDirectories(const std::string& folder) {
  const std::vector<std::string> levels = LevelsBelow(GetApplicationDataFolder(false), folder);
  if (levels.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(std::u8string(folder.begin(), folder.end())),
                                        ec);
    return ec ? "the folder " + folder + " could not be created (" + ec.message() + ")" : std::string();
  }
  for (const std::string& level : levels) {
    std::string error;
    const TFolderCreation made = CreatePrivateFolder(level, error);
    if (made == TFolderCreation::Failed)
      return "the folder " + level + " could not be created (" + error + ")";
    if (made == TFolderCreation::Created) continue;
    const TTrust trust = CheckFolderTrust(level);
    if (trust.Missing) return "the folder " + level + " vanished while it was being made";
    if (!trust.Trusted) return "the folder " + level + " is not trusted: " + trust.Reason;
  }
  return {};
}

bool IsNetworkPath(const std::string& path) {
  if (path.size() < 2 || !IsSeparator(path[0])) return false;
  // "\??\" is the system's own name space, which CreateFileW passes on.
  const bool ntPrefix = path.size() >= 4 && path[1] == '?' && path[2] == '?' && IsSeparator(path[3]);
  if (!ntPrefix && !IsSeparator(path[1])) return false;
  // "\\?\" and "\\.\" lead into the same name spaces; only a drive letter
  // after them stays on this computer.
  const bool namespacePrefix =
      ntPrefix || (path.size() >= 4 && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3]));
  return !(namespacePrefix && IsDriveLetter(path, 4));
}

}  // namespace orvane
