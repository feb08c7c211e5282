// The checked file on Windows: a handle that shares reading only, so that
// while it is held nobody can open the file for writing, rename it or delete
// it, and the path the program is started by still names the bytes that
// were hashed. A link or junction (a name-surrogate reparse point) is
// refused rather than followed: the handle would hold its target, while the
// link itself could be replaced. Other reparse points (cloud placeholders)
// are ordinary files to us. A virus scanner or the search indexer that holds
// a new file without sharing for a moment is waited for.
#include <windows.h>

#include <memory>

#include "system/CheckedFile.h"
#include "system/OSError.h"
#include "system/OSFunctions_win.h"

namespace orvane {

namespace {

constexpr DWORD kBlockSize = DWORD{1} << 20;

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
using THandle = std::unique_ptr<void, HandleCloser>;

THandle OpenForChecking(const std::string& path, DWORD flags) {
  const std::wstring name = Utf8ToWide(path);
  HANDLE h = INVALID_HANDLE_VALUE;
  RetryWhileFileInUse([&] {
    h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | flags, nullptr);
    return h != INVALID_HANDLE_VALUE;
  });
  if (h == INVALID_HANDLE_VALUE) RaiseLastOSError(path);
  return THandle(h);
}

}  // namespace

std::intptr_t OpenCheckedFile(const std::string& path) {
  THandle file = OpenForChecking(path, FILE_FLAG_OPEN_REPARSE_POINT);
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag))
    RaiseLastOSError(path);
  if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    if (IsReparseTagNameSurrogate(tag.ReparseTag)) RefuseCheckedFile(path, kCheckedFileIsLink);
    // Opened again the ordinary way while the first handle still keeps the
    // file from being replaced.
    file = OpenForChecking(path, 0);
  }
  return reinterpret_cast<std::intptr_t>(file.release());
}

void CloseCheckedFile(std::intptr_t native) noexcept {
  if (native != kNoCheckedFile) CloseHandle(reinterpret_cast<HANDLE>(native));
}

void ReadCheckedFileBlocks(std::intptr_t native, const std::string& path, const FileBlockSink& sink) {
  const HANDLE h = reinterpret_cast<HANDLE>(native);
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(h, start, nullptr, FILE_BEGIN)) RaiseLastOSError(path);
  const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(kBlockSize);
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, buffer.get(), kBlockSize, &n, nullptr)) RaiseLastOSError(path);
    if (n == 0) break;
    sink(buffer.get(), n);
  }
}

}  // namespace orvane
