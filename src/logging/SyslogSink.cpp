#include "logging/SyslogSink.h"

#include <utility>

#include "logging/SyslogMessage.h"
#include "system/OSFunctions.h"

namespace orvane {

TSyslogSink::TSyslogSink(std::unique_ptr<TSyslogSender> sender, std::string hostName,
                         std::function<std::chrono::system_clock::time_point()> clock)
    : sender_(std::move(sender)), hostName_(std::move(hostName)), clock_(std::move(clock)) {
  if (!clock_) clock_ = &std::chrono::system_clock::now;
}

void TSyslogSink::Send(std::uint8_t level, std::uint8_t facility, const std::string& text) {
  const std::tm local = ToLocalTime(std::chrono::system_clock::to_time_t(clock_()));
  sender_->Send(BuildSyslogDatagram(level, facility, local, hostName_, text));
}

TLogSyslogSinkFactory MakeSyslogSinkFactory(TSyslogSurroundings surroundings) {
  return [surroundings = std::move(surroundings)](const std::string& server,
                                                  int port) -> std::unique_ptr<ILogSyslogSink> {
    if (port < 1 || port > 65535) return nullptr;
    const auto address =
        ResolveSyslogHost(server, surroundings.LookupLimit,
                          surroundings.Lookup ? surroundings.Lookup : TSyslogLookup(&LookupIPv4));
    if (!address) return nullptr;
    auto sender = TSyslogSender::Open(*address, static_cast<std::uint16_t>(port));
    if (!sender) return nullptr;
    return std::make_unique<TSyslogSink>(std::move(sender),
                                         surroundings.HostName ? surroundings.HostName() : LocalHostName(),
                                         surroundings.Clock);
  };
}

}  // namespace orvane
