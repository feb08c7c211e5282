// UTF-8 <-> UTF-16 conversion at the Win32 calls, and the shell's folders.
#pragma once

#include <string>

namespace orvane {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// The shell's folder for a CSIDL_ value (SHGetFolderPathW, current path) with
// a trailing separator; empty when the shell cannot tell.
std::string ShellFolder(int csidl);

}  // namespace orvane
