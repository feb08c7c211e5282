// Opening a file the way the desktop shell's "open" does: a program is
// started, a document is handed to the program that the desktop associates
// with it.
#pragma once

#include <string>

namespace orvane {

// Opens file with the given parameters (one text, as on a command line).
// The started program inherits our working directory and is not waited for;
// it keeps running after this program ends. True when the start request was
// accepted; callers may ignore the result, and failures are reported through
// SystemDebug.
bool ShellOpen(const std::string& file, const std::string& parameters);

}  // namespace orvane
