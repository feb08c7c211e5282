// The checked file on Windows: while it is held, nobody can write, replace or
// delete the file, while readers (and the start of the program) may join.
// Share modes are enforced by Wine as by Windows.
#include "system/CheckedFile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "support/FileHolder_win.h"
#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"
#include "system/OSError.h"
#include "system/OSFunctions_win.h"
#include "system/ShellOpen.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFileBytes;

constexpr char kAbcDigest[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

// 0 when the open worked (the handle is closed again), else the error.
DWORD TryOpen(const fs::path& file, DWORD access, DWORD share) {
  const HANDLE h =
      CreateFileW(file.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(h);
  return 0;
}

TEST(CheckedFileWin, WhileHeldNobodyCanWriteReplaceOrDeleteIt) {
  const TempDir dir;
  const fs::path file = dir / "tool.exe";
  WriteFileBytes(file, "abc");
  WriteFileBytes(dir / "planted.exe", "planted");
  {
    const TCheckedFile checked(file.string());
    EXPECT_EQ(checked.SHA256(), kAbcDigest);
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    EXPECT_EQ(TryOpen(file, GENERIC_WRITE, all), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(TryOpen(file, DELETE, all), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileW(file.c_str()));
    EXPECT_FALSE(MoveFileExW((dir / "planted.exe").c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(MoveFileExW(file.c_str(), (dir / "moved.exe").c_str(), 0));
    // Readers, and a start (read and execute access), may join.
    EXPECT_EQ(TryOpen(file, GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ), 0u);
    EXPECT_EQ(checked.SHA256(), kAbcDigest);
  }
  EXPECT_EQ(TryOpen(file, GENERIC_WRITE, 0), 0u);
}

TEST(CheckedFileWin, FileOpenForWritingCannotBeChecked) {
  const TempDir dir;
  const fs::path file = dir / "busy.exe";
  WriteFileBytes(file, "abc");
  const HANDLE writer = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  try {
    TCheckedFile checked(file.string());
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), ERROR_SHARING_VIOLATION);
  }
  CloseHandle(writer);
}

// A virus scanner holding a new file without sharing for a moment is waited
// out; a longer hold fails as a writer does.
TEST(CheckedFileWin, FileInUseForAMomentIsWaitedOut) {
  const TempDir dir;
  const fs::path file = dir / "tool.exe";
  WriteFileBytes(file, "abc");
  {
    const test::TFileHolder holder(file, std::chrono::milliseconds(300));
    ASSERT_TRUE(holder.IsOpen());
    EXPECT_EQ(TCheckedFile(file.string()).SHA256(), kAbcDigest);
  }
  const test::TFileHolder holder(file);
  ASSERT_TRUE(holder.IsOpen());
  try {
    TCheckedFile checked(file.string());
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), ERROR_SHARING_VIOLATION);
  }
}

// The handle would hold a link's target while the link itself could be
// replaced, so a link is refused rather than followed.
TEST(CheckedFileWin, LinkIsRefused) {
  const TempDir dir;
  WriteFileBytes(dir / "genuine.exe", "abc");
  const fs::path link = dir / "link.exe";
  if (!CreateSymbolicLinkW(link.c_str(), (dir / "genuine.exe").c_str(),
                           SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
    GTEST_SKIP() << "no symbolic link can be made here (error " << GetLastError() << ")";
  try {
    TCheckedFile checked(test::PathUtf8(link));
    ADD_FAILURE() << "the link was followed";
  } catch (const EOSError& e) {
    // Wine cannot open a link itself (FILE_FLAG_OPEN_REPARSE_POINT fails):
    // the link is not followed either, but the refusal's text is not seen.
    GTEST_SKIP() << "the link itself cannot be opened here, so it is not followed but not refused by name: "
                 << e.what();
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "The file \"" + test::PathUtf8(link) +
                                         "\" is not started: it is a link to another file.\r\nDelete it and "
                                         "download it again.");
  }
}

// The held handle does not keep the system from starting the program.
TEST(CheckedFileWin, HeldProgramStarts) {
  const TempDir dir;
  const fs::path exe = dir / "checked tool.exe";
  fs::copy_file(test::StandInProgram(), exe);
  const fs::path out = dir / "args.txt";
  const test::ScopedEnv outVar("ORVANE_STANDIN_OUT", out.string());
  const test::ScopedEnv seconds("ORVANE_STANDIN_SECONDS", "0");
  {
    const TCheckedFile checked(test::PathUtf8(exe));
    ASSERT_TRUE(ShellOpenChecked(checked, "-x \"y z\""));
    EXPECT_EQ(TryOpen(exe, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  ASSERT_TRUE(test::WaitForFile(out));
  EXPECT_EQ(test::ReadLines(out), (std::vector<std::string>{"-x", "y z"}));
  EXPECT_TRUE(test::WaitForNoProcess("checked tool.exe"));
}

}  // namespace
}  // namespace orvane
