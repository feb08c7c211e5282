// How the POSIX variant refuses files it cannot or must not hash, with errno
// codes.
#include "system/SHA256.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include "system/OSError.h"
#include "system/OSFunctions.h"

#include "support/TestSupport.h"

namespace orvane {
namespace {

using test::MultiBlockContent;
using test::TempDir;
using test::WriteFileBytes;

TEST(GetFileSHA256, FailuresRaiseTheOperatingSystemError) {
  const TempDir dir;
  WriteFileBytes(dir / "plain", "x");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const struct {
    std::string path;
    int error;
  } cases[] = {
      {(dir / "missing.exe").string(), ENOENT},
      {(dir / "plain" / "child").string(), ENOTDIR},
      {dir.path().string(), EISDIR},
      {(dir / "fifo").string(), EINVAL},  // refused rather than blocking on the open or the read
  };
  for (const auto& c : cases) {
    try {
      GetFileSHA256(c.path);
      ADD_FAILURE() << "no error for " << c.path;
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode(), c.error) << c.path;
      const std::string what = e.what();
      EXPECT_NE(what.find(c.path), std::string::npos) << what;
      EXPECT_NE(what.find(SystemErrorMessage(c.error)), std::string::npos) << what;
    }
  }
}

TEST(GetFileSHA256, UnreadableFileRaisesPermissionDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const TempDir dir;
  WriteFileBytes(dir / "locked.exe", "secret");
  ASSERT_EQ(::chmod((dir / "locked.exe").c_str(), 0), 0);
  try {
    GetFileSHA256((dir / "locked.exe").string());
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), EACCES);
  }
}

// A file that grows while it is read must not yield a digest of a state that
// never existed as a whole.
TEST(GetFileSHA256, FileChangedWhileReadingRaises) {
  const TempDir dir;
  const auto file = dir / "growing.exe";
  WriteFileBytes(file, MultiBlockContent());
  bool appended = false;
  try {
    ReadFileBlocksForHashing(file.string(), [&](const unsigned char*, std::size_t) {
      if (!appended) WriteFileBytes(file, MultiBlockContent() + "tail");
      appended = true;
    });
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), EBUSY);
  }
}

}  // namespace
}  // namespace orvane
