// POSIX-only primitives shared with the other libraries' POSIX variants.
#pragma once

#include <string>

namespace orvane {

// The user's home folder without trailing separator: HOME when absolute,
// else the password database's entry; empty when neither gives one.
std::string HomeFolder();

}  // namespace orvane
