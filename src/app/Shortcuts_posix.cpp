// Freedesktop desktop entries: <base>.desktop in the user's desktop folder
// (XDG_DESKTOP_DIR of user-dirs.dirs) and in $XDG_DATA_HOME/applications/,
// which the desktops' application menus read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "app/Shortcuts.h"
#include "system/OSFunctions.h"
#include "system/OSFunctions_posix.h"
#include "system/SysUtils.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

// Writes bytes to a hidden temporary file beside target and renames it over
// target, so a desktop that watches the folder never reads a half-written
// entry. Empty text on success, else the reason.
std::string WriteFileAtomically(const fs::path& target, const std::string& bytes, mode_t mode) {
  std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) return SystemErrorMessage(errno);
  int error = 0;
  for (size_t done = 0; done < bytes.size() && error == 0;) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) done += static_cast<size_t>(n);
  }
  if (error == 0 && fchmod(fd, mode) != 0) error = errno;
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) unlink(temp.c_str());
  return error == 0 ? std::string() : SystemErrorMessage(error);
}

// A value of type string: backslash and control characters escaped, a
// leading blank kept as \s.
std::string EntryValue(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case ' ':
        out += out.empty() ? "\\s" : " ";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// One argument of an Exec key, quoted: inside quotes ", `, $ and \ take a
// backslash, and % is doubled so it is not read as a field code. The string
// escaping of EntryValue comes on top.
std::string ExecArgument(const std::string& path) {
  std::string quoted = "\"";
  for (const char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
    if (c == '%') quoted += '%';
  }
  return quoted + "\"";
}

// The value of XDG_<name>_DIR in user-dirs.dirs: "$HOME/rest" or "/path",
// shell-quoted. The last assignment counts, as when the shell reads it.
std::string UserDirsEntry(const std::string& text, const std::string& key, const std::string& home) {
  std::string found;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size() + 1, key + "=") != 0) continue;
    std::string value = line.substr(start + key.size() + 1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
      value.pop_back();
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') continue;
    std::string plain;
    for (size_t i = 1; i + 1 < value.size(); ++i) {
      if (value[i] == '\\' && i + 2 < value.size()) ++i;
      plain += value[i];
    }
    if (plain == "$HOME" || plain.rfind("$HOME/", 0) == 0) {
      if (home.empty()) continue;
      found = home + plain.substr(5);
    } else if (!plain.empty() && plain.front() == '/') {
      found = plain;
    }
  }
  return found;
}

// The user's desktop folder with trailing separator, or empty: no
// user-dirs.dirs, no entry, an entry naming the home folder itself (which
// means "no desktop folder") or a folder that does not exist.
std::string DesktopFolder() {
  const std::string config = GetConfigurationFolder(true);
  if (config.empty()) return {};
  std::ifstream file(config + "user-dirs.dirs", std::ios::binary);
  if (!file) return {};
  std::ostringstream text;
  text << file.rdbuf();
  const std::string home = HomeFolder();
  const std::string folder = UserDirsEntry(text.str(), "XDG_DESKTOP_DIR", home);
  std::error_code ec;
  if (folder.empty() || !fs::is_directory(folder, ec)) return {};
  if (!home.empty() && fs::equivalent(folder, home, ec)) return {};
  return AddTrailingBackslash(folder);
}

std::string MenuFolder() {
  const std::string data = GetApplicationDataFolder(true);
  return data.empty() ? std::string() : data + "applications/";
}

TShortcutPlace WriteEntry(const std::string& folder, const std::string& fileName, const std::string& entry,
                          bool createFolder) {
  TShortcutPlace place;
  if (folder.empty()) {
    place.Skipped = true;
    return place;
  }
  place.Path = folder + fileName;
  std::error_code ec;
  if (createFolder) fs::create_directories(folder, ec);
  const std::string error = ec ? ec.message() : WriteFileAtomically(place.Path, entry, 0755);
  place.Written = error.empty();
  if (!place.Written) place.Error = "could not write " + place.Path + " (" + error + ")";
  return place;
}

}  // namespace

TShortcutResult CreateShortcut(const std::string& ShortcutName, const std::string& Description,
                               const std::string& Target) {
  const std::string base = ShortcutBaseName(ShortcutName);
  const fs::path target(Target);
  const std::string folder = AddTrailingBackslash(target.parent_path().string());

  // The logo beside the program; without it the entries name no picture.
  std::string icon;
  const std::string png = ShortcutLogoPng();
  if (!png.empty() && WriteFileAtomically(folder + base + ".png", png, 0644).empty())
    icon = folder + base + ".png";

  std::string entry = "[Desktop Entry]\n";
  entry += "Type=Application\n";
  entry += "Name=" + EntryValue(base) + "\n";
  entry += "Comment=" + EntryValue(Description) + "\n";
  entry += "Exec=" + EntryValue(ExecArgument(Target)) + "\n";
  // The program finds its configuration file in its working directory.
  entry += "Path=" + EntryValue(folder) + "\n";
  if (!icon.empty()) entry += "Icon=" + EntryValue(icon) + "\n";
  entry += "Terminal=false\n";

  // Executable, so that desktops which ask for it treat the entry as trusted.
  TShortcutResult result;
  result.Desktop = WriteEntry(DesktopFolder(), base + ".desktop", entry, false);
  result.StartMenu = WriteEntry(MenuFolder(), base + ".desktop", entry, true);
  return result;
}

}  // namespace orvane
