// A program file opened for checking and kept open until it has been
// started, so that what starts is what was hashed.
//
// Between the hash and the start the window waits for the user; whoever can
// write the file, or put another file in its place, meanwhile would start
// their own program. The open file prevents that:
//  - Windows: the handle shares reading only, so nobody can write, rename or
//    delete the file while it is held; the program is started by its path.
//  - POSIX: the descriptor pins the very file that was hashed and the
//    program is started through it. A file that others could still write
//    through (a link, a file writable by its group or others, or one owned by
//    another user) is refused before it is read.
#pragma once

#include <cstdint>
#include <string>

#include "system/SHA256.h"

namespace orvane {

class TCheckedFile {
 public:
  // Opens path for checking. Raises std::runtime_error with a text for the
  // user when the file is refused (see above), and EOSError when it cannot
  // be opened (missing, a folder, held open for writing on Windows).
  explicit TCheckedFile(const std::string& path);
  ~TCheckedFile();
  TCheckedFile(TCheckedFile&& other) noexcept;
  TCheckedFile& operator=(TCheckedFile&& other) noexcept;
  TCheckedFile(const TCheckedFile&) = delete;
  TCheckedFile& operator=(const TCheckedFile&) = delete;

  // The path the file was opened by.
  const std::string& Path() const { return path_; }
  // The SHA-256 of the file's bytes as read through the open file, in the
  // form of GetFileSHA256 (64 lower-case hexadecimal digits). Raises
  // EOSError when the file cannot be read or was changed while being read.
  std::string SHA256() const;
  // The open file: a descriptor on POSIX, a HANDLE on Windows.
  std::intptr_t Native() const { return native_; }

 private:
  std::string path_;
  std::intptr_t native_;
};

// Platform part (CheckedFile_posix.cpp / CheckedFile_win.cpp). -1 is both an
// invalid descriptor and INVALID_HANDLE_VALUE.
inline constexpr std::intptr_t kNoCheckedFile = -1;
// Refuses the file at path with a text for the user that gives the reason.
[[noreturn]] void RefuseCheckedFile(const std::string& path, const std::string& reason);
// The reason given for a link, the same on every platform.
inline constexpr char kCheckedFileIsLink[] = "it is a link to another file";
// Opens and vets the file as the constructor describes.
std::intptr_t OpenCheckedFile(const std::string& path);
void CloseCheckedFile(std::intptr_t native) noexcept;
// Hands all of the open file's bytes, from its start, to sink in order;
// raises EOSError naming path.
void ReadCheckedFileBlocks(std::intptr_t native, const std::string& path, const FileBlockSink& sink);

}  // namespace orvane
