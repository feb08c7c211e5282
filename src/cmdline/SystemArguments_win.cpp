#include <shellapi.h>
#include <windows.h>

#include "cmdline/SystemArguments.h"

namespace orvane {

// The wide command line split by the shell's rules, converted to UTF-8, so
// that arguments outside the ANSI code page survive.
std::vector<std::string> GetSystemArguments() {
  std::vector<std::string> args;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return args;
  for (int i = 0; i < argc; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(size > 1 ? static_cast<size_t>(size - 1) : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), size, nullptr, nullptr);
    args.push_back(std::move(arg));
  }
  LocalFree(argv);
  return args;
}

}  // namespace orvane
