// Switches the running program's desktop theme, as a user changing it in the
// system settings would, so that window tests can see the window follow.
#pragma once

#include <optional>
#include <string>

namespace orvane::test {

// Makes name the theme the toolkit draws with and returns the theme it drew
// with before; none where the theme cannot be switched from inside the
// program (Windows: high contrast is a setting of the whole session).
std::optional<std::string> SwitchDesktopTheme(const std::string& name);

}  // namespace orvane::test
