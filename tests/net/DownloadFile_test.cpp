#include "net/DownloadFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "logging/Logging.h"
#include "net/DownloadTestSupport.h"
#include "support/RecordingLogControl.h"
#include "support/RefusingPort.h"
#include "support/TinyProxy.h"
#include "system/OSFunctions.h"

namespace orvane::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

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

// Serves the misbehaving answers of the table below.
void ServeHostileAnswers(LoopbackHttpServer& server) {
  httplib::Server& routes = server.Routes();
  routes.Get("/missing.exe", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("<html>" + std::string(2000, 'x') + "</html>", "text/html");
  });
  // Sends 10 of 1000 announced bytes, then nothing.
  routes.Get("/stall.exe", [&server](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1000, "application/octet-stream",
                             [&server](size_t offset, size_t, httplib::DataSink& sink) {
                               if (offset == 0) return sink.write("0123456789", 10);
                               server.WaitUntilStopping();
                               return false;
                             });
  });
  // 16 bytes every 100 ms: alive, but far below any useful rate.
  routes.Get("/trickle.exe", [&server](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/octet-stream", [&server](size_t, httplib::DataSink& sink) {
      server.WaitUntilStopping(std::chrono::milliseconds(100));
      return sink.write("0123456789abcdef", 16);
    });
  });
  routes.Get("/endless.exe", [](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/octet-stream", [](size_t, httplib::DataSink& sink) {
      static const std::string chunk(16 << 10, 'z');
      return sink.write(chunk.data(), chunk.size());
    });
  });
  // A redirect that claims gigabytes of body.
  routes.Get("/lying-hop.exe", [&server](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/tool.exe");
    res.set_content_provider(std::size_t{3} << 30, "text/html",
                             [&server](size_t, size_t, httplib::DataSink&) {
                               server.WaitUntilStopping();
                               return false;
                             });
  });
  routes.Get("/loop.exe",
             [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop.exe"); });
  routes.Get("/to-file.exe",
             [](const httplib::Request&, httplib::Response& res) { res.set_redirect("file:///etc/passwd"); });
  for (int status : {203, 204, 206}) {
    routes.Get("/" + std::to_string(status) + ".exe",
               [status](const httplib::Request&, httplib::Response& res) {
                 res.status = status;
                 res.set_content("part of a tool", "application/octet-stream");
               });
  }
}

TEST_F(DownloadFileTest, FailedDownloadsSayWhyAndLeaveTheOldFileUntouched) {
  LoopbackHttpServer hostile;
  ServeHostileAnswers(hostile);
  hostile.Routes().Get("/tool.exe", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("new tool", "application/octet-stream");
  });
  // Exactly the limit of 64 KiB, once announced and once in chunks.
  const std::string exact(64 << 10, 'x');
  hostile.Routes().Get("/exact.exe", [&exact](const httplib::Request&, httplib::Response& res) {
    res.set_content(exact, "application/octet-stream");
  });
  hostile.Routes().Get("/exact-chunked.exe", [&exact](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/octet-stream", [&exact](size_t, httplib::DataSink& sink) {
      sink.write(exact.data(), exact.size());
      sink.done();
      return true;
    });
  });
  hostile.Start();
  RefusingPort refusing;
  THttpGetSettings settings = GetHttpGetSettings();
  // The rate window is longer than the stall limit, so that the stalled
  // server is always caught by the stall rule first.
  settings.StallTimeout = std::chrono::seconds(1);
  settings.LowSpeedTime = std::chrono::seconds(2);
  settings.MaxBodySize = 64 << 10;
  SetHttpGetSettings(settings);

  struct Case {
    std::string url;
    std::string message;  // the box, or its start where the OS has its say
    bool bodyShown;       // a 200 answer began: its progress may be shown
  };
  const std::string failed = "Download Failed with Status Code: ";
  for (const Case& c : {
           Case{hostile.Url("/missing.exe"), failed + "404\r\nThe server answered 404 Not Found.", false},
           Case{server_.Url("/cut.exe"), failed + "6666\r\nThe connection closed after 7 of 100 bytes.",
                true},
           Case{refusing.Url("/tool.exe"),
                failed + std::to_string(kConnectionRefusedError) + "\r\nThe connection to 127.0.0.1 port " +
                    std::to_string(refusing.Port()) +
                    " failed: " + SystemErrorMessage(kConnectionRefusedError),
                false},
           Case{hostile.Url("/stall.exe"), failed + "6666\r\nNo data arrived for 1 second.", true},
           Case{hostile.Url("/trickle.exe"),
                failed + "6666\r\nThe download was slower than 1 KiB/s for 2 seconds.", true},
           Case{hostile.Url("/endless.exe"), failed + "6666\r\nThe download grew past the limit of 64 KiB.",
                true},
           Case{hostile.Url("/lying-hop.exe"),
                failed + "6666\r\nThe server announced 3 GiB, more than the limit of 64 KiB.", false},
           Case{hostile.Url("/loop.exe"),
                failed + "6666\r\nThe server sent too many redirects (more than 15).", false},
           Case{
               hostile.Url("/to-file.exe"),
               failed +
                   "6666\r\nThe server redirected to an address that is not http or https, which is refused.",
               false},
           Case{hostile.Url("/203.exe"),
                failed + "203\r\nThe server answered 203 Non-Authoritative Information instead of the file.",
                false},
           Case{hostile.Url("/204.exe"),
                failed + "204\r\nThe server answered 204 No Content instead of the file.", false},
           Case{hostile.Url("/206.exe"),
                failed + "206\r\nThe server answered 206 Partial Content instead of the file.", false},
       }) {
    SCOPED_TRACE(c.url);
    WriteFileBytes(dir_ / "tool.exe", "old tool");
    messages_.shown.clear();
    size_t progressCalls = 0;
    const TDownloadResult result =
        DownloadFile(c.url, (dir_ / "tool.exe").string(), false, "", messages_,
                     [&](std::uint64_t, std::optional<std::uint64_t>) { ++progressCalls; });
    EXPECT_EQ(result, TDownloadResult::Failed);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_THAT(messages_.shown[0], StartsWith(c.message));
    EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "old tool");
    EXPECT_THAT(FolderEntries(dir_.path()), ElementsAre("tool.exe"));
    if (!c.bodyShown) {
      EXPECT_EQ(progressCalls, 0u);
    }
  }

  // A body of exactly the limit is not too large.
  for (const char* path : {"/exact.exe", "/exact-chunked.exe"}) {
    SCOPED_TRACE(path);
    messages_.shown.clear();
    EXPECT_EQ(DownloadFile(hostile.Url(path), (dir_ / "tool.exe").string(), false, "", messages_),
              TDownloadResult::Done);
    EXPECT_THAT(messages_.shown, ElementsAre());
    EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), exact);
  }
}

TEST_F(DownloadFileTest, CompressedBodyIsStoredByteForByte) {
  // "new tool", gzip-compressed, sent with a Content-Encoding nobody asked
  // for: the file must hold what the server holds.
  static const unsigned char packed[] = {0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x03,
                                         0xcb, 0x4b, 0x2d, 0x57, 0x28, 0xc9, 0xcf, 0xcf, 0x01, 0x00,
                                         0x12, 0xfd, 0x9c, 0xaf, 0x08, 0x00, 0x00, 0x00};
  const std::string bytes(reinterpret_cast<const char*>(packed), sizeof packed);
  LoopbackHttpServer server;
  server.Routes().Get("/packed.exe", [&bytes](const httplib::Request&, httplib::Response& res) {
    res.set_header("Content-Encoding", "gzip");
    res.set_content(bytes, "application/x-msdownload");
  });
  server.Start();

  std::string contentType;
  TDownloadHooks hooks;
  hooks.ContentType = &contentType;
  EXPECT_EQ(
      DownloadFile(server.Url("/packed.exe"), (dir_ / "tool.exe").string(), false, "", messages_, hooks),
      TDownloadResult::Done);
  EXPECT_THAT(messages_.shown, IsEmpty());
  EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), bytes);
  EXPECT_EQ(contentType, "application/x-msdownload");
}

TEST_F(DownloadFileTest, CheckSeesTheWholeNewFileAndCanRefuseIt) {
  WriteFileBytes(dir_ / "tool.exe", "old tool");
  std::string contentType;
  std::string checked;
  TDownloadHooks hooks;
  hooks.ContentType = &contentType;
  hooks.Check = [&](const std::string& newFile) {
    checked = ReadFileBytes(newFile);
    return std::string("The downloaded file is not the expected program.");
  };
  EXPECT_EQ(DownloadFile(server_.Url("/tool.exe"), (dir_ / "tool.exe").string(), false, "", messages_, hooks),
            TDownloadResult::Failed);
  EXPECT_EQ(checked, "new tool");
  EXPECT_THAT(messages_.shown, ElementsAre("The downloaded file is not the expected program."));
  EXPECT_EQ(contentType, "application/octet-stream");
  EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "old tool");
  EXPECT_THAT(FolderEntries(dir_.path()), ElementsAre("tool.exe"));

  hooks.Check = [](const std::string&) { return std::string(); };
  EXPECT_EQ(DownloadFile(server_.Url("/tool.exe"), (dir_ / "tool.exe").string(), false, "", messages_, hooks),
            TDownloadResult::Done);
  EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "new tool");
}

TEST_F(DownloadFileTest, WindowIsPumpedThroughDiscoveryAndCancelEndsTheDownload) {
  LoopbackHttpServer server;
  ServeHostileAnswers(server);
  server.Start();
  // Discovery that goes on only once the window has been pumped a few
  // times: it finishes only if pumping goes on while it runs.
  std::atomic<int> pumps{0};
  auto sawPumps = std::make_shared<std::atomic<bool>>(false);
  SetProxyDiscovery({[&pumps, sawPumps]() -> std::optional<TIEProxyConfig> {
                       for (int i = 0; i < 1000 && pumps < 3; ++i) {
                         std::this_thread::sleep_for(std::chrono::milliseconds(10));
                       }
                       *sawPumps = pumps >= 3;
                       return std::nullopt;
                     },
                     {}});
  TDownloadHooks hooks;
  hooks.Pump = [&pumps] { ++pumps; };
  EXPECT_EQ(DownloadFile(server_.Url("/tool.exe"), (dir_ / "tool.exe").string(), false, "", messages_, hooks),
            TDownloadResult::Done);
  EXPECT_TRUE(*sawPumps);
  EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "new tool");

  // Cancelled from inside the pump, during a stalled transfer and during a
  // discovery that never ends by itself: no box, no new file, the old one
  // kept.
  WriteFileBytes(dir_ / "tool.exe", "old tool");
  auto release = std::make_shared<std::atomic<bool>>(false);
  struct Case {
    const char* name;
    std::function<void()> arrange;
  };
  for (const Case& c : {
           Case{"stalled transfer", [] {}},
           Case{"endless discovery",
                [release] {
                  SetProxyDiscovery({[release]() -> std::optional<TIEProxyConfig> {
                                       while (!*release)
                                         std::this_thread::sleep_for(std::chrono::milliseconds(5));
                                       return std::nullopt;
                                     },
                                     {}});
                }},
       }) {
    SCOPED_TRACE(c.name);
    SetProxyDiscovery({[] { return std::optional<TIEProxyConfig>(); }, {}});
    c.arrange();
    TDownloadCancel cancel;
    int calls = 0;
    hooks.Cancel = &cancel;
    hooks.Pump = [&] {
      if (++calls == 5) cancel.Cancel();
    };
    EXPECT_EQ(
        DownloadFile(server.Url("/stall.exe"), (dir_ / "tool.exe").string(), false, "", messages_, hooks),
        TDownloadResult::Cancelled);
    EXPECT_EQ(calls, 5);
    EXPECT_THAT(messages_.shown, IsEmpty());
    EXPECT_EQ(ReadFileBytes(dir_ / "tool.exe"), "old tool");
    EXPECT_THAT(FolderEntries(dir_.path()), ElementsAre("tool.exe"));
  }
  *release = true;
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
  // Through the proxy's CONNECT tunnel (refused before any TLS is spoken).
  const std::string tunnelled = "https://127.0.0.1:" + std::to_string(server_.Port()) + "/tool.exe";
  const std::string asksCredentials =
      "Download Failed with Status Code: 407\r\nThe proxy asks for a user name and password (407 Proxy "
      "Authentication Required). It offers Basic sign-in; signing in with the current logon needs Negotiate "
      "or "
      "NTLM. A user name and password typed in the proxy entry (User:Password@proxy:port) can sign in with "
      "Basic "
      "instead.";
  struct Case {
    const char* name;
    const TinyProxy& proxy;
    std::string entry;
    std::string url;
    std::string message;  // empty: the download went through
  };
  for (const Case& c : {
           Case{"open proxy", open, "127.0.0.1:" + std::to_string(open.Port()), server_.Url("/tool.exe"), ""},
           Case{"no credentials", guarded, guardedAt, server_.Url("/tool.exe"), asksCredentials},
           Case{"no credentials, tunnel", guarded, guardedAt, tunnelled, asksCredentials},
           Case{"wrong password", guarded, guarded.User() + ":wrong@" + guardedAt, server_.Url("/tool.exe"),
                "Download Failed with Status Code: 401\r\nThe server answered 401 Unauthorized."},
       }) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(dir_ / "tool.exe", "old tool");
    messages_.shown.clear();
    const size_t before = c.proxy.RequestCount();
    const size_t served = server_.RequestCount();
    DownloadFile(c.url, (dir_ / "tool.exe").string(), true, c.entry, messages_);
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
