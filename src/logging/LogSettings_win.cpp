// The settings file on Windows: one per machine, in the company folder below
// the common application-data folder.
#include "logging/LogSettings.h"
#include "system/FolderTrust.h"
#include "system/SysUtils.h"

namespace orvane {

std::string FindLogSettingsFile() {
  try {
    const std::string folder = GetCompanyDataFolder("", false);
    if (folder.empty()) return LogSettingsFileName;
    // Waiting for the folder to show up helps only after it was just made
    // (on a share it may appear a moment later). A folder that exists needs
    // no wait, and one that cannot be made will not appear by waiting.
    // Made private: every user may create folders in the common folder, and
    // a folder with inherited permissions would let them put their own
    // settings in. One that exists is examined by the settings procedure.
    std::string error;
    if (CreatePrivateFolder(folder, error) == TFolderCreation::Created) ForceDirectoryWait(folder, 10);
    return folder + LogSettingsFileName;
  } catch (...) {
    return LogSettingsFileName;
  }
}

}  // namespace orvane
