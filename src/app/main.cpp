// OrvaneSupport: the remote-support assistant.
#include "app/App_wx.h"
#include "system/DllSearch.h"

int main(int argc, char** argv) {
  // Before anything can load a DLL: none may come from the program's folder.
  orvane::RestrictDllSearchToSystemFolder();
  // The command-line handlers read the operating system's own argument list
  // as UTF-8 (on Windows from the wide command line); argv would carry the
  // ANSI code page there and lose every character outside it.
  return orvane::RunOrvaneSupport(argc, argv);
}
