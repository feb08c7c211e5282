// File operations of log rotation and archiving that differ between
// platforms: moving a file without replacing anything, and the letter-case
// rule of file-name masks.
#pragma once

#include <filesystem>
#include <string>

namespace orvane {

// A UTF-8 path text as a path, and back; std::filesystem's narrow strings are
// in the ANSI code page on Windows.
inline std::filesystem::path Utf8ToPath(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}
inline std::string PathToUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

// Renames the file `from` to `to` (UTF-8 paths) unless something already
// exists at `to`: a file that appeared there since the caller looked is
// never replaced. False when nothing was moved.
bool RenameFileNoReplace(const std::string& from, const std::string& to);

// The form in which two file names (UTF-8) are compared: on Windows, whose
// file names ignore letter case, the text in upper case; elsewhere the text
// unchanged, since there "a.log" and "A.LOG" are two files.
std::string FileNameCaseFold(const std::string& name);

}  // namespace orvane
