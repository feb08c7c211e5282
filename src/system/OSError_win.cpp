#include <windows.h>

#include "system/OSError.h"

namespace orvane {

int GetLastOSError() { return static_cast<int>(GetLastError()); }

}  // namespace orvane
