#include <cerrno>

#include "system/OSError.h"

namespace orvane {

int GetLastOSError() { return errno; }

}  // namespace orvane
