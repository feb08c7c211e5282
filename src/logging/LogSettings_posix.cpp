// The settings file on POSIX systems. The machine-wide configuration folder
// (/etc/xdg) is not writable for ordinary users, so it holds a settings file
// only when an administrator placed one there; everyone else gets a file of
// their own below XDG_CONFIG_HOME. Whether the file found can be trusted is
// the settings procedure's question.
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "logging/LogSettings.h"
#include "system/FolderTrust.h"
#include "system/OSFunctions.h"
#include "system/SysUtils.h"

namespace orvane {

std::string FindLogSettingsFile() {
  try {
    const std::string machine = GetCompanyDataFolder("", false) + LogSettingsFileName;
    std::error_code ec;
    if (std::filesystem::is_regular_file(machine, ec) && access(machine.c_str(), R_OK) == 0) return machine;

    const std::string user = GetConfigurationFolder(true);
    if (user.empty()) return {};
    const std::string folder = user + "Orvane mbH/";
    // Created at once or not at all: a local folder that cannot be made now
    // will not appear by waiting. The company folder gets mode 0755, not
    // 0777 less the umask: a umask of 002 would make it group-writable, and
    // the settings procedure would not trust it.
    std::filesystem::create_directories(user, ec);
    std::string error;
    CreatePrivateFolder(folder, error);
    return folder + LogSettingsFileName;
  } catch (...) {
    return {};
  }
}

}  // namespace orvane
