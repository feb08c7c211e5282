// Windows-only part of the folder trust unit.
#pragma once

#include <string>

namespace orvane {

// The security descriptor CreatePrivateFolder gives a new folder, as SDDL
// text; empty when the process's user is unknown. Wine does not keep access
// lists (it turns them into Unix mode bits), so the tests read the list
// from this text there.
std::string PrivateFolderSddl();

}  // namespace orvane
