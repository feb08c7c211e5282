// The program's syslog output: the logger's ILogSyslogSink that turns each
// message into an RFC 3164 datagram (SyslogMessage.h) and sends it through a
// connected UDP socket (SyslogSender.h).
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "logging/LogSyslogSink.h"
#include "logging/SyslogSender.h"

namespace orvane {

// What the sink takes from its surroundings; every empty field means the
// real thing.
struct TSyslogSurroundings {
  std::function<std::string()> HostName;                         // LocalHostName
  std::function<std::chrono::system_clock::time_point()> Clock;  // system clock
  TSyslogLookup Lookup;                                          // LookupIPv4
  std::chrono::milliseconds LookupLimit = SyslogLookupLimit;
};

class TSyslogSink : public ILogSyslogSink {
 public:
  // The host name is taken once, when the sink is made; the time stamp of
  // every message is the clock's local time when it is sent.
  TSyslogSink(std::unique_ptr<TSyslogSender> sender, std::string hostName,
              std::function<std::chrono::system_clock::time_point()> clock);

  void Send(std::uint8_t level, std::uint8_t facility, const std::string& text) override;

 private:
  std::unique_ptr<TSyslogSender> sender_;
  std::string hostName_;
  std::function<std::chrono::system_clock::time_point()> clock_;
};

// The factory the logger uses: resolves the server once (bounded by
// LookupLimit), connects and makes the sink; null when the server does not
// resolve, the port is outside 1..65535 or the socket cannot be set up, so
// that syslog output stays silent for the run.
TLogSyslogSinkFactory MakeSyslogSinkFactory(TSyslogSurroundings surroundings = {});

}  // namespace orvane
