#include <windows.h>
// windows.h first: the shell header relies on it.
#include <shellapi.h>

#include "cmdline/SystemArguments.h"
#include "system/OSFunctions_win.h"

namespace orvane {

// The wide command line split by the shell's rules, converted to UTF-8, so
// that arguments outside the ANSI code page survive.
std::vector<std::string> GetSystemArguments() {
  std::vector<std::string> args;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return args;
  for (int i = 0; i < argc; ++i) args.push_back(WideToUtf8(argv[i]));
  LocalFree(argv);
  return args;
}

}  // namespace orvane
