// UTF-8 <-> UTF-16 conversion at the Win32 calls, the shell's folders, and
// patience with files that other programs hold open for a moment.
#pragma once

#include <functional>
#include <string>

namespace orvane {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// The shell's folder for a CSIDL_ value (SHGetFolderPathW, current path) with
// a trailing separator; empty when the shell cannot tell.
std::string ShellFolder(int csidl);

// Runs attempt, a Win32 call that returns false and sets the last error when
// it fails, again while it fails the way a file held open by another program
// makes it fail (access denied, sharing or lock violation): antivirus and
// the search indexer open a new file right after it is closed and let go
// soon after. The pauses double from 10 ms; after about 2 s in all the
// failure counts. Returns the last attempt's result, its error still in
// GetLastError().
bool RetryWhileFileInUse(const std::function<bool()>& attempt);

}  // namespace orvane
