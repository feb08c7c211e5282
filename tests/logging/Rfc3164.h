// An RFC 3164 reader written from the RFC's grammar, independent of the
// program's formatter, so that the tests check the datagrams against what a
// syslog receiver expects rather than against our own code.
//
//   PRI       = "<" 1*3DIGIT ">"                 (facility * 8 + severity)
//   TIMESTAMP = Mmm SP dd SP hh:mm:ss           (dd: day, blank-padded)
//   HOSTNAME  = 1*(printable ASCII but SP)
//   MSG       = TAG CONTENT, TAG up to 32 alphanumerics; here the TAG is
//               followed by "[pid]:" or ":" and a blank
#pragma once

#include <optional>
#include <regex>
#include <string>

namespace orvane::test {

struct Rfc3164Packet {
  int facility = 0;
  int severity = 0;
  std::string month;
  int day = 0;
  std::string time;  // hh:mm:ss
  std::string hostname;
  std::string tag;
  std::string pid;  // empty when there is none
  std::string content;
};

inline std::optional<Rfc3164Packet> ParseRfc3164(const std::string& packet) {
  if (packet.size() > 1024) return std::nullopt;
  static const std::regex header(
      "<([0-9]{1,3})>(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) ( [1-9]|[12][0-9]|3[01]) "
      "([01][0-9]|2[0-3]):([0-5][0-9]):([0-5][0-9]) ([!-~]+) ([A-Za-z0-9]{0,32})(\\[([0-9]+)\\])?: ");
  std::smatch m;
  if (!std::regex_search(packet, m, header, std::regex_constants::match_continuous)) return std::nullopt;
  const int pri = std::stoi(m[1]);
  if (pri > 191) return std::nullopt;
  Rfc3164Packet p;
  p.facility = pri / 8;
  p.severity = pri % 8;
  p.month = m[2];
  p.day = std::stoi(m[3]);
  p.time = std::string(m[4]) + ":" + std::string(m[5]) + ":" + std::string(m[6]);
  p.hostname = m[7];
  p.tag = m[8];
  p.pid = m[10];
  p.content = m.suffix();
  return p;
}

}  // namespace orvane::test
