// The checked file on POSIX: what it refuses before reading, and that its
// digest is that of the file it holds, whatever its path names later.
#include "system/CheckedFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "support/TestSupport.h"
#include "system/OSError.h"
#include "system/SHA256.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFileBytes;
using testing::HasSubstr;

constexpr char kAbcDigest[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(CheckedFile, FilesOthersCouldChangeAreRefusedBeforeReading) {
  const TempDir dir;
  WriteFileBytes(dir / "genuine.exe", "abc");
  fs::create_symlink("genuine.exe", dir / "link.exe");
  struct Case {
    const char* file;
    mode_t mode;  // 0: a link, left as it is
    const char* reason;
  };
  const Case cases[] = {
      {"link.exe", 0, "it is a link to another file"},
      {"group.exe", 0664, "other users of this computer may change it"},
      {"others.exe", 0646, "other users of this computer may change it"},
      {"all.exe", 0777, "other users of this computer may change it"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = (dir / c.file).string();
    if (c.mode != 0) {
      WriteFileBytes(dir / c.file, "abc");
      ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    }
    try {
      TCheckedFile file(path);
      ADD_FAILURE() << "not refused";
    } catch (const EOSError& e) {
      ADD_FAILURE() << "refused as an OS error: " << e.what();
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "The file \"" + path + "\" is not started: " + std::string(c.reason) +
                                           (c.mode ? " (it is writable by its group or by others)" : "") +
                                           ".\r\nDelete it and download it again.");
    }
  }
  // The owner may write it; at most 0755 is what a download gets.
  ASSERT_EQ(::chmod((dir / "genuine.exe").c_str(), 0755), 0);
  EXPECT_EQ(TCheckedFile((dir / "genuine.exe").string()).SHA256(), kAbcDigest);
}

TEST(CheckedFile, FileOfAnotherUserIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  const TempDir dir;
  const std::string path = (dir / "theirs.exe").string();
  WriteFileBytes(path, "abc");
  ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  EXPECT_THROW(
      {
        try {
          TCheckedFile file(path);
        } catch (const std::runtime_error& e) {
          EXPECT_THAT(e.what(), HasSubstr("it belongs to another user of this computer"));
          throw;
        }
      },
      std::runtime_error);
}

TEST(CheckedFile, OpenFailuresRaiseTheOperatingSystemError) {
  const TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  for (const auto& [path, error] :
       {std::pair{(dir / "missing.exe").string(), ENOENT}, std::pair{dir.path().string(), EISDIR},
        std::pair{(dir / "fifo").string(), EINVAL}}) {
    try {
      TCheckedFile file(path);
      ADD_FAILURE() << "no error for " << path;
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode(), error) << path;
    }
  }
}

// Whatever is put at the path after the open, by a rename over it or after
// a delete, the digest (and the start, see ShellOpen) is of the file held.
TEST(CheckedFile, DigestIsOfTheHeldFileNotOfWhatThePathNamesLater) {
  const TempDir dir;
  const std::string path = (dir / "tool.exe").string();
  WriteFileBytes(path, "abc");
  ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
  TCheckedFile file(path);
  EXPECT_EQ(file.SHA256(), kAbcDigest);

  WriteFileBytes(dir / "planted", "planted program");
  fs::rename(dir / "planted", path);
  EXPECT_EQ(file.SHA256(), kAbcDigest);
  EXPECT_NE(GetFileSHA256(path), kAbcDigest);
  fs::remove(path);
  EXPECT_EQ(file.SHA256(), kAbcDigest);

  // Moved, it still holds the same file.
  TCheckedFile moved = std::move(file);
  EXPECT_EQ(moved.SHA256(), kAbcDigest);
  EXPECT_EQ(moved.Path(), path);
}

}  // namespace
}  // namespace orvane
