// The dynamic linker looks only in the system's library folders (and in
// LD_LIBRARY_PATH, which is the user's own environment); the program's folder
// is never searched, so there is nothing to restrict.
#include "system/DllSearch.h"

namespace orvane {

void RestrictDllSearchToSystemFolder() {}

}  // namespace orvane
