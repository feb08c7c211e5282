#include "logging/SyslogMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Rfc3164.h"

namespace orvane {
namespace {

std::tm Stamp(int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = 2024 - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return tm;
}

TEST(SyslogMessage, SplitsTagProcessIdAndContent) {
  struct Case {
    std::string text, part;
  };
  const std::vector<Case> cases = {
      {"Config loaded", "Config: loaded"},
      {"Download: 5 files", "Download: 5 files"},
      {"(Tool) : Config loaded", ": (Tool) : Config loaded"},
      {"Tag:x", "Tag: x"},
      {"Tag  two blanks", "Tag:  two blanks"},
      {"sshd[42]: accepted", "sshd[42]: accepted"},
      {"sshd[42] accepted", "sshd[42]: accepted"},
      {"[7] anonymous", "[7]: anonymous"},
      {"Tag[]", "Tag: []"},
      // Only a bracket holding a number is a process id; any other bracket
      // text stays in the content instead of being dropped.
      {"Job[abc] done", "Job: [abc] done"},
      {"Job[-1]: done", "Job: [-1]: done"},
      {"Job[12 unclosed", "Job: [12 unclosed"},
      {"Job [12] later", "Job: [12] later"},
      // At most 32 characters of tag; the rest of the run is content.
      {std::string(40, 'a') + " x", std::string(32, 'a') + ": " + std::string(8, 'a') + " x"},
      {"", ""},
      {":", ""},
      {"\xC3\xA9t\xC3\xA9", ": \xC3\xA9t\xC3\xA9"},
  };
  for (const auto& c : cases) EXPECT_EQ(SyslogMessagePart(c.text), c.part) << "text: " << c.text;
}

TEST(SyslogMessage, DatagramFollowsTheBsdSyslogFormat) {
  struct Case {
    int level, facility;
    std::tm time;
    std::string text, datagram;
  };
  const std::vector<Case> cases = {
      {3, 23, Stamp(1, 31, 14, 30, 5), "Config loaded", "<187>Jan 31 14:30:05 host1 Config: loaded"},
      {0, 16, Stamp(3, 5, 9, 3, 7), "x", "<128>Mar  5 09:03:07 host1 x: "},
      {7, 16, Stamp(12, 9, 23, 59, 59), "(Tool) : Ready", "<135>Dec  9 23:59:59 host1 : (Tool) : Ready"},
      {5, 17, Stamp(7, 10, 0, 0, 0), "", "<141>Jul 10 00:00:00 host1 "},
  };
  for (const auto& c : cases) {
    const std::string datagram = BuildSyslogDatagram(
        static_cast<std::uint8_t>(c.level), static_cast<std::uint8_t>(c.facility), c.time, "host1", c.text);
    EXPECT_EQ(datagram, c.datagram);
    if (c.text.empty()) continue;
    const auto parsed = test::ParseRfc3164(datagram);
    ASSERT_TRUE(parsed) << datagram;
    EXPECT_EQ(parsed->facility, c.facility);
    EXPECT_EQ(parsed->severity, c.level);
    EXPECT_EQ(parsed->day, c.time.tm_mday);
    EXPECT_EQ(parsed->hostname, "host1");
  }
}

TEST(SyslogMessage, EncodesOneBytePerCharacterAndCutsAt1024Characters) {
  const std::tm time = Stamp(1, 31, 14, 30, 5);
  // é (U+00E9) is one byte of its own value; € (U+20AC) and 😀 (U+1F600) are
  // beyond 255 and become "?"; a stray byte that is no UTF-8 stays as it is.
  EXPECT_EQ(BuildSyslogDatagram(6, 16, time, "h", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xFF"),
            "<134>Jan 31 14:30:05 h Caf: \xE9 ? ? \xFF");

  // 2000 two-byte characters: the cut counts characters, so the datagram is
  // 1024 bytes, each é one byte.
  std::string text = "Long ";
  for (int i = 0; i < 2000; ++i) text += "\xC3\xA9";
  const std::string datagram = BuildSyslogDatagram(6, 16, time, "h", text);
  const std::string head = "<134>Jan 31 14:30:05 h Long: ";
  ASSERT_EQ(datagram.size(), 1024U);
  EXPECT_EQ(datagram.substr(0, head.size()), head);
  EXPECT_EQ(datagram.substr(head.size()), std::string(1024 - head.size(), '\xE9'));

  // Exactly 1024 characters stay whole.
  const std::string fits = std::string(1024 - head.size(), 'x');
  EXPECT_EQ(BuildSyslogDatagram(6, 16, time, "h", "Long " + fits), head + fits);
}

}  // namespace
}  // namespace orvane
