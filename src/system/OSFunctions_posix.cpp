// XDG base directories, glibc's Unicode case mapping and strerror.
#include <locale.h>
#include <pwd.h>
#include <unistd.h>
#include <wctype.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "system/OSFunctions.h"
#include "system/OSFunctions_posix.h"
#include "system/SysUtils.h"
#include "system/Utf8.h"

namespace orvane {
namespace {

std::string EnvText(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

// XDG variables hold absolute paths only; anything else counts as unset.
bool IsAbsolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

// XDG_<name>_HOME, else $HOME + fallback; empty without a home folder.
std::string UserFolder(const char* variable, const char* belowHome) {
  const std::string value = EnvText(variable);
  if (IsAbsolute(value)) return AddTrailingBackslash(value);
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return AddTrailingBackslash(home) + belowHome + "/";
}

// The first absolute entry of XDG_CONFIG_DIRS, else /etc/xdg.
std::string MachineConfigFolder() {
  const std::string list = EnvText("XDG_CONFIG_DIRS");
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find(':', start), list.size());
    const std::string entry = list.substr(start, end - start);
    if (IsAbsolute(entry)) return AddTrailingBackslash(entry);
    start = end + 1;
  }
  return "/etc/xdg/";
}

// A private C.UTF-8 locale object: Unicode's simple lower-case mapping,
// independent of the user's language and of the process-wide locale. Null
// when the system lacks it; then only ASCII letters are lowered.
locale_t CaseLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

// glibc's strerror_r returns the text; the XSI variant fills the buffer.
[[maybe_unused]] std::string ErrorText(const char* result, const char*) { return result ? result : ""; }
[[maybe_unused]] std::string ErrorText(int result, const char* buffer) { return result == 0 ? buffer : ""; }

}  // namespace

std::string HomeFolder() {
  std::string home = EnvText("HOME");
  if (IsAbsolute(home)) return home;
  const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
    return {};
  const std::string dir = found->pw_dir;
  return IsAbsolute(dir) ? dir : std::string();
}

std::string GetApplicationDataFolder(bool perUser) {
  return perUser ? UserFolder("XDG_DATA_HOME", ".local/share") : MachineConfigFolder();
}

std::string GetConfigurationFolder(bool perUser) {
  return perUser ? UserFolder("XDG_CONFIG_HOME", ".config") : MachineConfigFolder();
}

bool ConfigFolderIsPerUser() { return true; }

std::string GetSystemTempFolder() {
  const std::string tmp = EnvText("TMPDIR");
  return AddTrailingBackslash(tmp.empty() ? "/tmp" : tmp);
}

std::tm ToLocalTime(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return local;
}

std::string LowerCaseText(const std::string& text) {
  const locale_t locale = CaseLocale();
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    char32_t cp = 0;
    const size_t length = DecodeUtf8(text, pos, cp);
    if (length == 0) {
      out += text[pos++];
      continue;
    }
    if (cp < 0x80) {
      if (cp >= 'A' && cp <= 'Z') cp += 'a' - 'A';
    } else if (locale) {
      cp = static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), locale));
    }
    AppendUtf8(out, cp);
    pos += length;
  }
  return out;
}

std::string SystemErrorMessage(int code) {
  char buffer[256] = {};
  std::string text = ErrorText(strerror_r(code, buffer, sizeof buffer), buffer);
  if (text.empty()) text = "Unknown error " + std::to_string(code);
  return TrimSystemMessage(text);
}

}  // namespace orvane
