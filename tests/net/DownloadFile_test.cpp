#include "net/DownloadFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "logging/Logging.h"
#include "net/DownloadTestSupport.h"
#include "support/RecordingLogControl.h"
#include "support/RefusingPort.h"
#include "support/TinyProxy.h"

namespace orvane::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

TEST(ParseManualProxyEntry, ReadsTheEntryAsAnUrlAuthority) {
  struct Case {
    const char* entry;
    TManualProxyEntry expected;
  };
  for (const Case& c : {
           Case{"10.0.0.1:3128", {"10.0.0.1", "3128", "", ""}},
           Case{"http://10.0.0.1:3128/anything/after", {"10.0.0.1", "3128", "", ""}},
           Case{"user:pa:ss@proxy:8080", {"proxy", "8080", "user", "pa:ss"}},
           Case{"u:p@ss@proxy:8080", {"proxy", "8080", "u", "p@ss"}},
           Case{"user@proxy:8080", {"proxy", "8080", "user", ""}},
           Case{":orphan@proxy:8080", {"proxy", "8080", "", ""}},
           Case{"us%20er:p%40ss@proxy:8080", {"proxy", "8080", "us%20er", "p%40ss"}},
           Case{"[::1]:3128", {"::1", "3128", "", ""}},
           Case{"u:p@[fe80::1]:8080", {"fe80::1", "8080", "u", "p"}},
           Case{"proxy:notanumber", {"proxy", "notanumber", "", ""}},
       }) {
    SCOPED_TRACE(c.entry);
    const TManualProxyEntry got = ParseManualProxyEntry(c.entry);
    EXPECT_EQ(got.Host, c.expected.Host);
    EXPECT_EQ(got.Port, c.expected.Port);
    EXPECT_EQ(got.User, c.expected.User);
    EXPECT_EQ(got.Password, c.expected.Password);
  }

  for (auto [entry, message] :
       {std::pair{"10.0.0.1", kNoProxyPortMessage}, std::pair{"10.0.0.1:", kNoProxyPortMessage},
        std::pair{"HTTP://10.0.0.1:3128", kNoProxyPortMessage},
        std::pair{"user:pw@10.0.0.1/x:80", kNoProxyPortMessage}, std::pair{"[::1]", kNoProxyPortMessage},
        std::pair{":3128", kNoProxyHostMessage}, std::pair{"u:p@:3128", kNoProxyHostMessage},
        std::pair{"[]:3128", kNoProxyHostMessage}, std::pair{"[::1", "Invalid proxy address: [::1"},
        std::pair{"[::1]3128", "Invalid proxy address: [::1]3128"},
        std::pair{"u:secret@[::1", "Invalid proxy address: u:***@[::1"}}) {
    SCOPED_TRACE(entry);
    try {
      ParseManualProxyEntry(entry);
      ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), message);
    }
  }
}

TEST_F(DownloadFileTest, WritesTheBodyAndReportsProgress) {
  uint64_t last = 0;
  DownloadFile(server_.Url("/tool.exe"), (dir_ / "tool.exe").string(), false, "", messages_,
               [&](uint64_t received, std::optional<uint64_t>) { last = received; });
  EXPECT_THAT(messages_.shown, IsEmpty());
  EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "new tool");
  EXPECT_EQ(last, 8u);
  EXPECT_THAT(FolderEntries(dir_.path()), ElementsAre("tool.exe"));
}

TEST_F(DownloadFileTest, FailedDownloadsLeaveTheOldFileUntouched) {
  RefusingPort refusing;
  struct Case {
    std::string url;
    std::string message;
  };
  for (const Case& c : {Case{server_.Url("/missing.exe"), "Download Failed with Status Code: 404"},
                        Case{server_.Url("/cut.exe"), "Download Failed with Status Code: 6666"},
                        Case{refusing.Url("/tool.exe"), "Download Failed with Status Code: " +
                                                            std::to_string(kConnectionRefusedError)}}) {
    SCOPED_TRACE(c.url);
    WriteFileBytes(dir_ / "tool.exe", "old tool");
    messages_.shown.clear();
    DownloadFile(c.url, (dir_ / "tool.exe").string(), false, "", messages_);
    EXPECT_THAT(messages_.shown, ElementsAre(c.message));
    EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "old tool");
    EXPECT_THAT(FolderEntries(dir_.path()), ElementsAre("tool.exe"));
  }
}

TEST_F(DownloadFileTest, ProxyEntryWithoutPortOrHostStopsBeforeAnyRequest) {
  for (auto [entry, message] :
       {std::pair{"10.0.0.1", kNoProxyPortMessage}, std::pair{"HTTP://10.0.0.1:3128", kNoProxyPortMessage},
        std::pair{"u:p@:3128", kNoProxyHostMessage}, std::pair{"[::1", "Invalid proxy address: [::1"}}) {
    messages_.shown.clear();
    DownloadFile(server_.Url("/tool.exe"), (dir_ / "tool.exe").string(), true, entry, messages_);
    EXPECT_THAT(messages_.shown, ElementsAre(message));
  }
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_FALSE(fs::exists(dir_ / "tool.exe"));
}

TEST_F(DownloadFileTest, ProxyEntryIsUsedOnlyWhileTicked) {
  TLogSettings settings;
  settings.LoggingEnabled = true;
  settings.AlwaysShowDebug = true;
  settings.MemoNumRows = 100;
  test::ScopedRecordingLogger logging(settings, "DownloadFileTest");
  const auto& control = logging.control;
  const auto foundProxyLines = [&] {
    return std::count_if(control->lines.begin(), control->lines.end(), [](const std::string& line) {
      return line.find("Found Proxy Config: ") != std::string::npos;
    });
  };
  TinyProxy proxy(TinyProxy::Access::BasicAuth);
  const std::string entry =
      proxy.User() + ":" + proxy.Password() + "@127.0.0.1:" + std::to_string(proxy.Port());

  DownloadFile(server_.Url("/tool.exe"), (dir_ / "a.exe").string(), true, entry, messages_);
  EXPECT_THAT(messages_.shown, IsEmpty());
  EXPECT_EQ(ReadFileBytes(dir_ / "a.exe"), "new tool");
  EXPECT_EQ(proxy.RequestCount(), 1u);
  ASSERT_EQ(foundProxyLines(), 1);
  EXPECT_THAT(control->lines.front(), HasSubstr("Found Proxy Config: Host: 127.0.0.1 Port: " +
                                                std::to_string(proxy.Port()) + " Username: " + proxy.User()));

  // Not ticked, or ticked with nothing entered: the earlier proxy does not
  // carry over and the request goes where discovery says (here: direct).
  DownloadFile(server_.Url("/tool.exe"), (dir_ / "b.exe").string(), false, entry, messages_);
  DownloadFile(server_.Url("/tool.exe"), (dir_ / "c.exe").string(), true, "", messages_);
  EXPECT_THAT(messages_.shown, IsEmpty());
  EXPECT_EQ(ReadFileBytes(dir_ / "b.exe"), "new tool");
  EXPECT_EQ(ReadFileBytes(dir_ / "c.exe"), "new tool");
  EXPECT_EQ(proxy.RequestCount(), 1u);
  EXPECT_EQ(server_.RequestCount(), 3u);
  EXPECT_EQ(foundProxyLines(), 1);  // no line without a proxy
}

TEST_F(DownloadFileTest, ProxyPasswordsStayOutOfTracesLogAndMessages) {
  TLogSettings settings;
  settings.LoggingEnabled = true;
  settings.AlwaysShowDebug = true;
  settings.MemoNumRows = 100;
  test::ScopedRecordingLogger logging(settings, "DownloadFileTest");
  TinyProxy guarded(TinyProxy::Access::BasicAuth);
  const std::string password = guarded.Password();
  const std::string credentials = guarded.User() + ":" + password + "@";
  // Discovery hands over a script URL, a static proxy and a proxy list that
  // all carry the password; the proxy list is used.
  DiscoverProxy(
      credentials + "127.0.0.1:" + std::to_string(guarded.Port()) + ";" + credentials + "b:1",
      {false, "http://" + credentials + "wpad.example.invalid/wpad.dat", credentials + "static:1", ""});

  DownloadFile(server_.Url("/tool.exe"), (dir_ / "tool.exe").string(), false, "", messages_);
  DownloadFile(server_.Url("/tool.exe"), (dir_ / "tool.exe").string(), true, credentials + "[::1", messages_);

  EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "new tool");
  EXPECT_THAT(messages_.shown, ElementsAre("Invalid proxy address: " + guarded.User() + ":***@[::1"));
  EXPECT_TRUE(Traced(" URLEncoded Proxy URI: http://" + guarded.User() +
                     ":***@127.0.0.1:" + std::to_string(guarded.Port())));
  EXPECT_TRUE(Traced(" AutoConfigUrl=http://" + guarded.User() + ":***@wpad.example.invalid/wpad.dat"));
  std::vector<std::string> written = trace_;
  written.insert(written.end(), logging.control->lines.begin(), logging.control->lines.end());
  written.insert(written.end(), messages_.shown.begin(), messages_.shown.end());
  for (const std::string& line : written) EXPECT_THAT(line, Not(HasSubstr(password)));
}

TEST_F(DownloadFileTest, ProxyAnswerDecidesTheDownload) {
  TinyProxy open;
  TinyProxy guarded(TinyProxy::Access::BasicAuth);
  const std::string guardedAt = "127.0.0.1:" + std::to_string(guarded.Port());
  struct Case {
    const char* name;
    const TinyProxy& proxy;
    std::string entry;
    std::string message;  // empty: the download went through
  };
  for (const Case& c : {
           Case{"open proxy", open, "127.0.0.1:" + std::to_string(open.Port()), ""},
           Case{"no credentials", guarded, guardedAt, "Download Failed with Status Code: 407"},
           Case{"wrong password", guarded, guarded.User() + ":wrong@" + guardedAt,
                "Download Failed with Status Code: 401"},
       }) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(dir_ / "tool.exe", "old tool");
    messages_.shown.clear();
    const size_t before = c.proxy.RequestCount();
    const size_t served = server_.RequestCount();
    DownloadFile(server_.Url("/tool.exe"), (dir_ / "tool.exe").string(), true, c.entry, messages_);
    EXPECT_EQ(c.proxy.RequestCount(), before + 1);
    if (c.message.empty()) {
      EXPECT_THAT(messages_.shown, IsEmpty());
      EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "new tool");
      EXPECT_THAT(c.proxy.Log(), HasSubstr("GET " + server_.Url("/tool.exe")));
      EXPECT_EQ(server_.RequestCount(), served + 1);
    } else {
      EXPECT_THAT(messages_.shown, ElementsAre(c.message));
      EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "old tool");
      EXPECT_EQ(server_.RequestCount(), served);
    }
    EXPECT_THAT(FolderEntries(dir_.path()), ElementsAre("tool.exe"));
  }
}

}  // namespace
}  // namespace orvane::test
