// UTF-8 <-> UTF-16 conversion for the Win32 variants of the system unit:
// std::string holds UTF-8 everywhere and is converted only at Win32 calls.
#pragma once

#include <string>

namespace orvane {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace orvane
