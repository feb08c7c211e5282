// UTF-8 <-> UTF-16 conversion at the Win32 calls.
#pragma once

#include <string>

namespace orvane {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace orvane
