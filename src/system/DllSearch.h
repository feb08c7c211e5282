// Where the program's shared libraries come from.
//
// On Windows a DLL named without a folder is looked for in the program's own
// folder first. The program is started from wherever the customer saved it,
// usually Downloads, where a browser may have saved a DLL of a system name
// earlier; it would run inside the program. So the program loads DLLs from
// the system folder only.
#pragma once

namespace orvane {

// Restricts every later load of a DLL by name (LoadLibrary in any library
// of the program, and the DLLs it delay-loads) to the system folder, for the
// rest of the process. Called first thing in main. Where Windows lacks the
// means for that (Windows 7 without update KB2533623), the current folder is
// taken out of the search at least; the delay-loaded DLLs come from the
// system folder there too.
// POSIX: nothing to do. The dynamic linker never looks in the program's own
// folder (the program has no $ORIGIN run path), only in the system's.
void RestrictDllSearchToSystemFolder();

}  // namespace orvane
