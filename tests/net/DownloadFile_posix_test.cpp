// The POSIX side of replacing a file: the new file's mode is its own, and
// errors carry the errno texts.
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

// A replaced file never passes its permissions on: others could write a
// 0666 file, and a set-user-ID bit must not land on downloaded bytes. A new
// file is writable by its owner only: 0755 for a program, 0644 for a list.
TEST_F(DownloadFileTest, NewFilesAreWritableByTheirOwnerOnlyWhateverTheOldOneAllowed) {
  ScopedCwd cwd(dir_.path());
  const mode_t mask = umask(0);
  struct Case {
    const char* file;
    fs::perms old;  // none: no file there before
    bool executable;
    fs::perms expected;
  };
  const Case cases[] = {
      {"tool.exe", fs::perms(0666), true, fs::perms(0755)},
      {"orvanesupport.json", fs::perms(0666), false, fs::perms(0644)},
      {"setuid.exe", fs::perms(06777), true, fs::perms(0755)},
      {"private.exe", fs::perms(0700), true, fs::perms(0755)},
      {"fresh.exe", fs::perms::none, true, fs::perms(0755)},
      {"fresh.json", fs::perms::none, false, fs::perms(0644)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    if (c.old != fs::perms::none) {
      WriteFileBytes(dir_ / c.file, "old file, longer than the new one");
      ASSERT_EQ(chmod(c.file, static_cast<mode_t>(c.old)), 0);
    }
    TDownloadHooks hooks;
    hooks.Executable = c.executable;
    EXPECT_EQ(DownloadFile(server_.Url("/tool.exe"), c.file, false, "", messages_, hooks),
              TDownloadResult::Done);
    EXPECT_EQ(ReadFileBytes(dir_ / c.file), "new tool");
    EXPECT_EQ(fs::status(dir_ / c.file).permissions(), c.expected);
  }
  // A list written by the program itself (a signature) is a list.
  WriteFileBytes(dir_ / "list.sig", "old");
  ASSERT_EQ(chmod("list.sig", 0666), 0);
  WriteFileReplacing("list.sig", "new");
  EXPECT_EQ(fs::status(dir_ / "list.sig").permissions(), fs::perms(0644));
  // The umask may take away more.
  umask(077);
  TDownloadHooks program;
  program.Executable = true;
  DownloadFile(server_.Url("/tool.exe"), "tool.exe", false, "", messages_, program);
  EXPECT_EQ(fs::status(dir_ / "tool.exe").permissions(), fs::perms(0700));
  umask(mask);
  EXPECT_THAT(messages_.shown, IsEmpty());
}

// A link at the target's name is replaced itself; its target stays as it
// was.
TEST_F(DownloadFileTest, LinkIsReplacedNotWrittenThrough) {
  WriteFileBytes(dir_ / "elsewhere", "not to be touched");
  fs::permissions(dir_ / "elsewhere", fs::perms(0700));
  fs::create_symlink("elsewhere", dir_ / "linked.exe");
  DownloadFile(server_.Url("/tool.exe"), (dir_ / "linked.exe").string(), false, "", messages_);
  EXPECT_THAT(messages_.shown, IsEmpty());
  EXPECT_FALSE(fs::is_symlink(dir_ / "linked.exe"));
  EXPECT_EQ(ReadFileBytes(dir_ / "linked.exe"), "new tool");
  EXPECT_EQ(ReadFileBytes(dir_ / "elsewhere"), "not to be touched");
  EXPECT_EQ(fs::status(dir_ / "elsewhere").permissions(), fs::perms(0700));
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

TEST_F(DownloadFileTest, TlsFailuresAreNamedAsTheCause) {
  TempDir certificates;
  const TestCertificate certificate = MakeTestCertificate(certificates.path(), {"127.0.0.1"});
  LoopbackHttpServer secure(certificate);
  secure.Routes().Get("/tool.exe", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("new tool", "application/octet-stream");
  });
  secure.Start();
  WriteFileBytes(dir_ / "tool.exe", "old tool");
  const std::string failed = "Download Failed with Status Code: 6666\r\n";
  for (auto [trusted, url, cause] : {
           std::tuple{false, secure.Url("/tool.exe"), "The certificate of 127.0.0.1 is not trusted."},
           std::tuple{true, "https://localhost:" + std::to_string(secure.Port()) + "/tool.exe",
                      "The certificate of localhost is not trusted."},
           // A server that does not speak TLS at all.
           std::tuple{true, "https://127.0.0.1:" + std::to_string(server_.Port()) + "/tool.exe",
                      "No secure connection to 127.0.0.1 could be made: the secure handshake failed."},
       }) {
    SCOPED_TRACE(url);
    TrustCA(trusted ? certificate.CAFile.string() : "");
    messages_.shown.clear();
    DownloadFile(url, (dir_ / "tool.exe").string(), false, "", messages_);
    EXPECT_THAT(messages_.shown, ElementsAre(failed + cause));
    EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "old tool");
  }
}

}  // namespace
}  // namespace orvane::test
