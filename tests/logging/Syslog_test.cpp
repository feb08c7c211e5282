// The syslog output end to end: the logger, the program's sink and a real
// UDP receiver on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "LogFileFixtures.h"
#include "Rfc3164.h"
#include "logging/Logging.h"
#include "logging/SyslogSender.h"
#include "logging/SyslogSink.h"
#include "support/LogSettingsFixtures.h"
#include "support/TestSupport.h"
#include "support/UdpReceiver.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::FileSettings;
using test::MessageLines;
using test::ParseRfc3164;
using test::PathText;
using test::TempDir;
using test::UdpReceiver;

// File output plus syslog to 127.0.0.1:port, debug messages on, sent with a
// fixed host name at 31 January 2024, 14:30:05 local time.
TLogSettings SyslogSettings(const fs::path& folder, int port, const std::string& server = "127.0.0.1") {
  TLogSettings s = FileSettings(folder);
  s.SyslogEnabled = true;
  s.AlwaysShowDebug = true;
  s.ServerName = server;
  s.ServerPort = port;
  TSyslogSurroundings surroundings;
  surroundings.HostName = [] { return std::string("testhost"); };
  surroundings.Clock = [] { return test::LocalTime(2024, 1, 31, 14, 30, 5); };
  s.SyslogSinkFactory = MakeSyslogSinkFactory(surroundings);
  return s;
}

std::string Received(UdpReceiver& receiver) { return receiver.Receive().value_or("<nothing>"); }

TEST(SyslogOutput, SendsUpToTheThresholdWhileTheFileGetsEveryLine) {
  TempDir dir;
  UdpReceiver receiver;
  TLogSettings s = SyslogSettings(dir.path(), receiver.Port());
  s.LogLevel = 4;   // slWarning
  s.Facility = 23;  // sfLocalUseSeven
  {
    TLogging log(nullptr, "", s);
    log.Error("Disk full");
    log.Warning("Low memory");
    log.Notice("Just so");
    log.Debug("Details");
    log.Emergency("Stop now");
    EXPECT_EQ(MessageLines(log.DbgLogFile()),
              (std::vector<std::string>{"(Fehler       ): Disk full", "(Warnung      ): Low memory",
                                        "(Hinweis      ): Just so", "(Debug        ): Details",
                                        "(Notfall      ): Stop now"}));
  }
  // Notice and Debug were not sent: the Emergency comes right after the
  // Warning.
  const std::vector<std::string> expected = {"<187>Jan 31 14:30:05 testhost Disk: full",
                                             "<188>Jan 31 14:30:05 testhost Low: memory",
                                             "<184>Jan 31 14:30:05 testhost Stop: now"};
  for (const auto& want : expected) {
    const std::string got = Received(receiver);
    EXPECT_EQ(got, want);
    const auto packet = ParseRfc3164(got);
    ASSERT_TRUE(packet) << got;
    EXPECT_EQ(packet->facility, 23);
    EXPECT_EQ(packet->month, "Jan");
    EXPECT_EQ(packet->day, 31);
    EXPECT_EQ(packet->time, "14:30:05");
    EXPECT_EQ(packet->hostname, "testhost");
  }
}

TEST(SyslogOutput, DatagramsCarryTheTextAsReceiversParseIt) {
  struct Case {
    bool prefix;
    std::string text;
    std::string tag, content;  // as an RFC 3164 receiver reads them
  };
  std::string longText = "Long ";
  for (int i = 0; i < 2000; ++i) longText += static_cast<char>('a' + i % 26);
  const std::vector<Case> cases = {
      // With the executable prefix the tag is empty and the whole text is
      // the content.
      {true, "Config loaded", "", "(Tool) : Config loaded"},
      {false, "Config loaded", "Config", "loaded"},
      {false, "Download: 5 files", "Download", "5 files"},
      {false, "worker[815]: idle", "worker", "idle"},
      {false, "worker[busy]: idle", "worker", "[busy]: idle"},
      // Umlauts spelled out by the logger, é as its one byte, € beyond 255
      // as "?".
      {false,
       "Gr\xC3\xB6\xC3\x9F"
       "e: 5 Caf\xC3\xA9 \xE2\x82\xAC",
       "Groesse", "5 Caf\xE9 ?"},
      {false, longText, "Long", ""},  // content checked below: cut at 1024
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    TempDir dir;
    UdpReceiver receiver;
    TLogSettings s = SyslogSettings(dir.path(), receiver.Port());
    s.AppendExecName = c.prefix;
    TLogging log(nullptr, "", s);
    log.Informational(c.text);
    const std::string got = Received(receiver);
    const auto packet = ParseRfc3164(got);
    ASSERT_TRUE(packet) << got;
    EXPECT_EQ(packet->facility, 16);
    EXPECT_EQ(packet->severity, 6);
    EXPECT_EQ(packet->tag, c.tag);
    if (c.text == longText) {
      const std::string head = "<134>Jan 31 14:30:05 testhost Long: ";
      EXPECT_EQ(got, head + longText.substr(5, 1024 - head.size()));
    } else {
      EXPECT_EQ(packet->content, c.content);
    }
  }
}

TEST(SyslogOutput, UnresolvableServerLeavesTheOtherOutputsWorking) {
  TempDir dir;
  TLogSettings s = SyslogSettings(dir.path(), 514, "no-such-syslog-host.invalid");
  // Names under .invalid never resolve: set-up refuses them without asking
  // any resolver, so nothing leaves the machine.
  auto lookups = std::make_shared<std::atomic<int>>(0);
  TSyslogSurroundings surroundings;
  surroundings.Lookup = [lookups](const std::string&) {
    ++*lookups;
    return std::optional<TIPv4Address>();
  };
  EXPECT_EQ(MakeSyslogSinkFactory(surroundings)(s.ServerName, 514), nullptr);
  EXPECT_EQ(*lookups, 0);

  TLogging log(nullptr, "", s);
  log.Error("First");
  log.Debug("Second");
  EXPECT_EQ(MessageLines(log.DbgLogFile()),
            (std::vector<std::string>{"(Fehler       ): First", "(Debug        ): Second"}));
}

TEST(SyslogOutput, ClosedPortNeitherStopsNorCostsLaterMessages) {
  TempDir dir;
  const int port = test::ClosedUdpPort();
  TLogging log(nullptr, "", SyslogSettings(dir.path(), port));
  // Each of these draws a "port unreachable", which the socket reports on
  // its next send.
  for (const char* text : {"One", "Two", "Three"}) log.Error(text);
  UdpReceiver receiver(port);
  log.Error("Arrives");
  EXPECT_EQ(Received(receiver), "<131>Jan 31 14:30:05 testhost Arrives: ");
  EXPECT_EQ(MessageLines(log.DbgLogFile()),
            (std::vector<std::string>{"(Fehler       ): One", "(Fehler       ): Two",
                                      "(Fehler       ): Three", "(Fehler       ): Arrives"}));
}

TEST(SyslogSetup, ResolvesOnceWithinItsLimit) {
  // A lookup that answers 10.0.0.1 and counts its calls.
  auto calls = std::make_shared<std::atomic<int>>(0);
  const TSyslogLookup counting = [calls](const std::string&) {
    ++*calls;
    return std::optional<TIPv4Address>(0x0A000001);
  };
  struct Case {
    std::string host;
    std::optional<TIPv4Address> address;
    int lookups;
  };
  const std::vector<Case> cases = {
      {"127.0.0.1", 0x7F000001, 0},
      {"192.0.2.255", 0xC00002FF, 0},
      {"syslog.example.test", 0x0A000001, 1},
      {"256.1.1.1", 0x0A000001, 1},  // no address, so a name
      {"", std::nullopt, 0},
      {"invalid", std::nullopt, 0},
      {"Host.INVALID.", std::nullopt, 0},
      {"invalid.example.test", 0x0A000001, 1},
  };
  // The table is about which names are looked up, not about time: a loaded
  // machine (Wine above all) may take seconds to start the helper thread.
  constexpr std::chrono::seconds generous{60};
  for (const auto& c : cases) {
    *calls = 0;
    EXPECT_EQ(ResolveSyslogHost(c.host, generous, counting), c.address) << c.host;
    EXPECT_EQ(*calls, c.lookups) << c.host;
  }

  // The system's resolver for a name it knows without asking the network.
  EXPECT_EQ(ResolveSyslogHost("localhost", generous, &LookupIPv4), TIPv4Address{0x7F000001});

  // A lookup that does not come back in time counts as failed; it finishes
  // on its own once released, and its late answer goes nowhere.
  struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
  };
  auto gate = std::make_shared<Gate>();
  const TSyslogLookup stuck = [gate](const std::string&) {
    std::unique_lock lock(gate->mutex);
    gate->opened.wait(lock, [&] { return gate->open; });
    return std::optional<TIPv4Address>(0x0A000001);
  };
  EXPECT_EQ(ResolveSyslogHost("slow.example.test", std::chrono::milliseconds(50), stuck), std::nullopt);
  {
    const std::lock_guard lock(gate->mutex);
    gate->open = true;
  }
  gate->opened.notify_all();
}

TEST(SyslogSetup, SocketMayBeConnectedToABroadcastAddress) {
  // Connecting only: no datagram is sent. The loopback network's broadcast
  // address needs the broadcast permission like any other.
  EXPECT_NE(TSyslogSender::Open(0x7FFFFFFF, static_cast<std::uint16_t>(test::ClosedUdpPort())), nullptr);
}

TEST(SyslogOutput, ProgramStartUpSendsToTheConfiguredServer) {
  TempDir dir;
  test::ScopedCwd cwd(dir.path());
  TempDir config;
  test::ScopedEnv machine("XDG_CONFIG_DIRS", PathText(config / "machine"));
  test::ScopedEnv user("XDG_CONFIG_HOME", PathText(config / "user"));
  const fs::path settings = test::TextPath(FindLogSettingsFile());
  test::ScopedFileRestore restore(settings);
  // The settings a first start writes, with logging switched on: syslog to
  // 127.0.0.1 with debug messages and the executable prefix.
  fs::create_directories(settings.parent_path());
  test::WriteFileBytes(settings, test::DefaultLogSettingsWith({{"Enabled=0", "Enabled=1"}}));
  UdpReceiver receiver;
  test::ScopedProcessArguments args(
      {"test_logging", "--SyslogServerPort=" + std::to_string(receiver.Port())});
  StartLogging();
  StopLogging();

  const std::string got = Received(receiver);
  const auto packet = ParseRfc3164(got);
  ASSERT_TRUE(packet) << got;
  EXPECT_EQ(packet->facility, 16);
  EXPECT_EQ(packet->severity, 7);
  EXPECT_EQ(packet->hostname, LocalHostName());
  EXPECT_EQ(packet->tag, "");
  EXPECT_EQ(packet->content.rfind("(test_logging) : test_logging  V", 0), 0U) << got;
  EXPECT_NE(packet->content.find(" started... | Logging Class: 202101-1"), std::string::npos) << got;
  const std::string end = Received(receiver);
  EXPECT_NE(end.find(" exit..."), std::string::npos) << end;
}

}  // namespace
}  // namespace orvane
