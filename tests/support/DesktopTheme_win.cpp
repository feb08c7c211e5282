#include "support/DesktopTheme.h"

namespace orvane::test {

// High contrast on Windows is switched for the whole session
// (SPI_SETHIGHCONTRAST), not for one program; a test does not do that to
// the machine it runs on.
std::optional<std::string> SwitchDesktopTheme(const std::string&) { return std::nullopt; }

}  // namespace orvane::test
