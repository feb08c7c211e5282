// The POSIX side of replacing a file: the mode carries over, and errors
// carry the errno texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <tuple>

#include "logging/ScopedFileSizeLimit_posix.h"
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

  // Set-user-ID and set-group-ID never carry over to downloaded bytes.
  ASSERT_EQ(chmod("tool.exe", 06755), 0);
  DownloadFile(server_.Url("/tool.exe"), "tool.exe", false, "", messages_);
  EXPECT_EQ(fs::status(dir_ / "tool.exe").permissions(), fs::perms(0755));

  // A new file gets the ordinary mode the umask leaves; so does one that
  // replaces a link, which is replaced itself: its target stays as it was.
  WriteFileBytes(dir_ / "elsewhere", "not to be touched");
  fs::permissions(dir_ / "elsewhere", fs::perms(0700));
  fs::create_symlink("elsewhere", dir_ / "linked.exe");
  const mode_t mask = umask(022);
  DownloadFile(server_.Url("/tool.exe"), "fresh.exe", false, "", messages_);
  DownloadFile(server_.Url("/tool.exe"), "linked.exe", false, "", messages_);
  umask(mask);
  EXPECT_THAT(messages_.shown, IsEmpty());
  EXPECT_EQ(fs::status(dir_ / "fresh.exe").permissions(), fs::perms(0644));
  EXPECT_FALSE(fs::is_symlink(dir_ / "linked.exe"));
  EXPECT_EQ(ReadFileBytes(dir_ / "linked.exe"), "new tool");
  EXPECT_EQ(fs::status(dir_ / "linked.exe").permissions(), fs::perms(0644));
  EXPECT_EQ(ReadFileBytes(dir_ / "elsewhere"), "not to be touched");
}

TEST_F(DownloadFileTest, WriteFailingPartWayKeepsTheOldFileWhole) {
  const std::string big = PatternBody(256 << 10);
  LoopbackHttpServer server;
  server.Routes().Get("/big.exe", [&big](const httplib::Request&, httplib::Response& res) {
    res.set_content(big, "application/octet-stream");
  });
  server.Start();
  WriteFileBytes(dir_ / "tool.exe", "old tool");
  TDownloadResult result;
  {
    // As a full disk or a quota would: the file may grow to 64 KiB only.
    ScopedFileSizeLimit limit(64 << 10);
    result = DownloadFile(server.Url("/big.exe"), (dir_ / "tool.exe").string(), false, "", messages_);
  }
  EXPECT_EQ(result, TDownloadResult::Failed);
  EXPECT_THAT(messages_.shown, ElementsAre("Error: EWriteError: Cannot write file \"" +
                                           (dir_ / "tool.exe").string() + "\". File too large"));
  EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "old tool");
  EXPECT_THAT(FolderEntries(dir_.path()), ElementsAre("tool.exe"));
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

TEST_F(DownloadFileTest, UntrustedCertificateIsNamedAsTheCause) {
  TempDir certificates;
  const TestCertificate certificate = MakeTestCertificate(certificates.path(), {"127.0.0.1"});
  LoopbackHttpServer secure(certificate);
  secure.Routes().Get("/tool.exe", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("new tool", "application/octet-stream");
  });
  secure.Start();
  WriteFileBytes(dir_ / "tool.exe", "old tool");
  for (auto [trusted, url, host] :
       {std::tuple{false, secure.Url("/tool.exe"), "127.0.0.1"},
        std::tuple{true, "https://localhost:" + std::to_string(secure.Port()) + "/tool.exe", "localhost"}}) {
    SCOPED_TRACE(url);
    TrustCA(trusted ? certificate.CAFile.string() : "");
    messages_.shown.clear();
    DownloadFile(url, (dir_ / "tool.exe").string(), false, "", messages_);
    EXPECT_THAT(messages_.shown, ElementsAre("Download Failed with Status Code: 6666\r\nThe certificate of " +
                                             std::string(host) + " is not trusted."));
    EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "old tool");
  }
}

}  // namespace
}  // namespace orvane::test
