// Where the logger's syslog output goes.
//
// The logger decides what is sent (threshold, facility, executable prefix,
// umlauts spelled out); the sink turns one message into whatever its peer
// expects and sends it. A sink never reports a failure back: syslog output is
// a mirror of the log and must not disturb the program.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orvane {

class ILogSyslogSink {
 public:
  virtual ~ILogSyslogSink() = default;

  // One message: level is the syslog severity (0 to 7), facility the syslog
  // facility code (0 to 23), text the message without date stamp or level
  // tag.
  virtual void Send(std::uint8_t level, std::uint8_t facility, const std::string& text) = 0;
};

// Makes the sink for a server and port, or returns null when none can be set
// up (syslog output then stays silent for the run).
using TLogSyslogSinkFactory =
    std::function<std::unique_ptr<ILogSyslogSink>(const std::string& server, int port)>;

}  // namespace orvane
