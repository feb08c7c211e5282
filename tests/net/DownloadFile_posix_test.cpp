// The POSIX side of replacing a file: the mode carries over, and errors
// carry the errno texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "net/DownloadTestSupport.h"

namespace orvane::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;

TEST_F(DownloadFileTest, ReplacesAFileWholeKeepingItsModeAndRelativePathsWork) {
  WriteFileBytes(dir_ / "tool.exe", "old tool, longer than the new one");
  fs::permissions(dir_ / "tool.exe", fs::perms(0750));
  ScopedCwd cwd(dir_.path());

  DownloadFile(server_.Url("/tool.exe"), "tool.exe", false, "", messages_);
  EXPECT_THAT(messages_.shown, IsEmpty());
  EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "new tool");
  EXPECT_EQ(fs::status(dir_ / "tool.exe").permissions(), fs::perms(0750));
  EXPECT_THAT(FolderEntries(dir_.path()), ElementsAre("tool.exe"));

  // A new file gets the ordinary mode the umask leaves.
  const mode_t mask = umask(022);
  DownloadFile(server_.Url("/tool.exe"), "fresh.exe", false, "", messages_);
  umask(mask);
  EXPECT_EQ(fs::status(dir_ / "fresh.exe").permissions(), fs::perms(0644));
}

TEST_F(DownloadFileTest, UnwritableTargetIsReportedAsAnError) {
  WriteFileBytes(dir_ / "plainfile", "");
  for (auto [path, reason] : {std::pair{dir_ / "no-such-folder" / "tool.exe", "No such file or directory"},
                              std::pair{dir_ / "plainfile" / "tool.exe", "Not a directory"}}) {
    SCOPED_TRACE(path);
    messages_.shown.clear();
    DownloadFile(server_.Url("/tool.exe"), path.string(), false, "", messages_);
    EXPECT_THAT(messages_.shown,
                ElementsAre("Error: EFCreateError: Cannot create file \"" + path.string() + "\". " + reason));
  }
  messages_.shown.clear();
  fs::create_directory(dir_ / "taken.exe");
  DownloadFile(server_.Url("/tool.exe"), (dir_ / "taken.exe").string(), false, "", messages_);
  EXPECT_THAT(messages_.shown, ElementsAre(MatchesRegex("Error: EWriteError: Cannot replace file .*")));
  EXPECT_THAT(FolderEntries(dir_.path()), ElementsAre("plainfile", "taken.exe"));
}

}  // namespace
}  // namespace orvane::test
