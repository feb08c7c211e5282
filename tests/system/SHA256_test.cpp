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

using test::TempDir;
using test::WriteFileBytes;

// 9 MiB + 5 bytes: several read blocks, the last one partial.
std::string MultiBlockContent() {
  std::string bytes(std::size_t{9} * 1024 * 1024 + 5, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>(((i * 31 + 7) & 0xFF) ^ ((i >> 12) & 0xFF));
  return bytes;
}

TEST(GetFileSHA256, KnownDigestsInLowerCaseHex) {
  const TempDir dir;
  const struct {
    const char* name;
    std::string content;
    const char* digest;
  } cases[] = {
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"multiblock", MultiBlockContent(), "ac2c67512651c763d897d2d85761ab4d8c584d00dccd4a302793169dadc8d047"},
  };
  for (const auto& c : cases) {
    WriteFileBytes(dir / c.name, c.content);
    EXPECT_EQ(GetFileSHA256((dir / c.name).string()), c.digest) << c.name;
  }
}

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
