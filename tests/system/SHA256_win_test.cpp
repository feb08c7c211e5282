// The Windows variant opens the file with FILE_SHARE_READ only: anyone
// holding it open for writing makes the hash fail with a sharing violation,
// nobody can start writing while it is hashed, and readers may still join.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/FileHolder_win.h"
#include "support/TestSupport.h"
#include "system/OSError.h"
#include "system/OSFunctions.h"
#include "system/OSFunctions_win.h"
#include "system/SHA256.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

using test::TempDir;
using test::TFileHolder;
using test::WriteFileBytes;

constexpr char kAbcDigest[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

HANDLE Open(const std::string& file, DWORD access, DWORD share) {
  return CreateFileW(Utf8ToWide(file).c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

TEST(GetFileSHA256Win, FailuresRaiseTheWin32Error) {
  const TempDir dir;
  WriteFileBytes(dir / "plain", "x");
  WriteFileBytes(dir / "busy.exe", "abc");
  // A download still being written: open for writing, sharing reads and writes.
  const HANDLE writer = Open((dir / "busy.exe").string(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  const struct {
    std::string path;
    DWORD error;
  } cases[] = {
      {(dir / "missing.exe").string(), ERROR_FILE_NOT_FOUND},
      {(dir / "plain" / "child").string(), ERROR_PATH_NOT_FOUND},
      {dir.path().string(), ERROR_ACCESS_DENIED},  // a folder
      {(dir / "busy.exe").string(), ERROR_SHARING_VIOLATION},
  };
  for (const auto& c : cases) {
    try {
      GetFileSHA256(c.path);
      ADD_FAILURE() << "no error for " << c.path;
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode(), static_cast<int>(c.error)) << c.path;
      const std::string what = e.what();
      EXPECT_NE(what.find(c.path), std::string::npos) << what;
      EXPECT_NE(what.find(SystemErrorMessage(static_cast<int>(c.error))), std::string::npos) << what;
    }
  }
  CloseHandle(writer);
  EXPECT_EQ(GetFileSHA256((dir / "busy.exe").string()), kAbcDigest);
}

TEST(GetFileSHA256Win, WritersAreShutOutWhileReadersMayJoin) {
  const TempDir dir;
  const std::string file = (dir / "tool.exe").string();
  WriteFileBytes(file, "abc");
  DWORD writerError = 0;
  bool readerJoined = false;
  ReadFileBlocksForHashing(file, [&](const unsigned char*, std::size_t) {
    const HANDLE writer = Open(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    writerError = writer == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    const HANDLE reader = Open(file, GENERIC_READ, FILE_SHARE_READ);
    readerJoined = reader != INVALID_HANDLE_VALUE;
    if (readerJoined) CloseHandle(reader);
  });
  EXPECT_EQ(writerError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(readerJoined);
  EXPECT_EQ(GetFileSHA256(file), kAbcDigest);
}

// A virus scanner holding a new file without sharing for a moment is waited
// out; a longer hold fails as any file in use does. (Wine has no scanner:
// another handle plays its part.)
TEST(GetFileSHA256Win, FileInUseForAMomentIsWaitedOut) {
  const TempDir dir;
  const std::string file = (dir / "tool.exe").string();
  WriteFileBytes(file, "abc");
  {
    const TFileHolder holder(file, std::chrono::milliseconds(300));
    ASSERT_TRUE(holder.IsOpen());
    EXPECT_EQ(GetFileSHA256(file), kAbcDigest);
  }
  const TFileHolder holder(file);
  ASSERT_TRUE(holder.IsOpen());
  try {
    GetFileSHA256(file);
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), ERROR_SHARING_VIOLATION);
  }
}

// The loader holds a running program's file open without write access, so
// the program can be hashed while it runs.
TEST(GetFileSHA256Win, RunningProgramCanBeHashed) {
  EXPECT_EQ(GetFileSHA256(GetExecutablePath()).size(), 64u);
}

}  // namespace
}  // namespace orvane
