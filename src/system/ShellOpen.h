// Opening a file the way the desktop shell's "open" does: a program is
// started, a document is handed to the program that the desktop associates
// with it.
#pragma once

#include <string>

namespace orvane {

class TCheckedFile;

// Opens file with the given parameters (one text, as on a command line).
// The started program inherits our working directory and is not waited for;
// it keeps running after this program ends. True when the start request was
// accepted; callers may ignore the result, and failures are reported through
// SystemDebug.
bool ShellOpen(const std::string& file, const std::string& parameters);

// Starts the program that was checked through file, as ShellOpen does, from
// the bytes that were checked: on Windows by its path while the held file
// keeps anyone from changing or replacing it, on POSIX through the held
// descriptor (see ShellOpen_posix.cpp for what goes through wine or
// xdg-open). file must stay open until this returns; afterwards it may be
// closed.
bool ShellOpenChecked(const TCheckedFile& file, const std::string& parameters);

}  // namespace orvane
