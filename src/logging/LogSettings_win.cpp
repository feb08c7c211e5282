// The settings file on Windows: one per machine, in the company folder below
// the common application-data folder, which every user may write.
#include <windows.h>

#include "logging/LogSettings.h"
#include "system/OSFunctions_win.h"
#include "system/SysUtils.h"

namespace orvane {

std::string FindLogSettingsFile() {
  try {
    const std::string folder = GetCompanyDataFolder("", false);
    if (folder.empty()) return LogSettingsFileName;
    // Waiting for the folder to show up helps only after it was just made
    // (on a share it may appear a moment later). A folder that exists needs
    // no wait, and one that cannot be made will not appear by waiting.
    if (CreateDirectoryW(Utf8ToWide(folder).c_str(), nullptr)) ForceDirectoryWait(folder, 10);
    return folder + LogSettingsFileName;
  } catch (...) {
    return LogSettingsFileName;
  }
}

}  // namespace orvane
