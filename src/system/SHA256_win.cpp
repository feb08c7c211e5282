// Windows: the file is opened for reading with FILE_SHARE_READ only, so the
// open fails with a sharing violation while anyone holds it open for writing
// (or deletion), and nobody can start writing while it is hashed. Readers are
// still allowed, so a running executable or Explorer's preview do not make
// the hash fail; a virus scanner that holds a new file without sharing for a
// moment is waited for.
#include <windows.h>

#include <memory>

#include "system/CheckedFile.h"
#include "system/OSError.h"
#include "system/OSFunctions_win.h"
#include "system/SHA256.h"

namespace orvane {

namespace {

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};

}  // namespace

void ReadFileBlocksForHashing(const std::string& fileName, const FileBlockSink& sink) {
  const std::wstring path = Utf8ToWide(fileName);
  HANDLE h = INVALID_HANDLE_VALUE;
  RetryWhileFileInUse([&] {
    h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return h != INVALID_HANDLE_VALUE;
  });
  if (h == INVALID_HANDLE_VALUE) RaiseLastOSError(fileName);
  const std::unique_ptr<void, HandleCloser> file(h);

  ReadCheckedFileBlocks(reinterpret_cast<std::intptr_t>(h), fileName, sink);
}

}  // namespace orvane
