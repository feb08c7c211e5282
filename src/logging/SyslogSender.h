// The UDP client behind the syslog output (OS seam: SyslogSender_posix.cpp
// with BSD sockets, SyslogSender_win.cpp with Winsock).
//
// IPv4 only. The server's name is resolved once, at set-up, and the socket is
// connected to it, so every message is one non-blocking send. Nothing here
// reports a failure to the caller beyond "no sender": syslog output mirrors
// the log and must never stop or slow the program.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvane {

// An IPv4 address in host byte order (127.0.0.1 is 0x7F000001).
using TIPv4Address = std::uint32_t;

// Looks a host name up; nullopt when it has no IPv4 address. May block.
using TSyslogLookup = std::function<std::optional<TIPv4Address>(const std::string& host)>;

// How long set-up waits for a name lookup at most.
inline constexpr std::chrono::milliseconds SyslogLookupLimit{3000};

// The platform's resolver (getaddrinfo, IPv4 only). Blocks as long as the
// system's resolver takes.
std::optional<TIPv4Address> LookupIPv4(const std::string& host);

// The server's address, bounded in time:
// - a dotted IPv4 address ("192.0.2.7") is taken as it is, without lookup;
// - an empty name and names under ".invalid" are refused at once (such names
//   never resolve, so they are never handed to a resolver);
// - any other name goes to lookup on a helper thread; when no answer comes
//   within limit the name counts as unresolvable (the helper finishes on its
//   own and its late answer is dropped).
std::optional<TIPv4Address> ResolveSyslogHost(const std::string& host, std::chrono::milliseconds limit,
                                              const TSyslogLookup& lookup);

// The local machine's host name as the network stack reports it
// (gethostname); "localhost" when it reports none.
std::string LocalHostName();

class TSyslogSender {
 public:
  // A UDP socket connected to address:port, with sending to broadcast
  // addresses allowed and sends that never block. Connecting exchanges no
  // data. Null when the socket cannot be set up.
  static std::unique_ptr<TSyslogSender> Open(TIPv4Address address, std::uint16_t port);

  ~TSyslogSender();
  TSyslogSender(const TSyslogSender&) = delete;
  TSyslogSender& operator=(const TSyslogSender&) = delete;

  // One datagram. Never blocks and never fails: a datagram the system cannot
  // take at once is dropped. A "port unreachable" answer to an earlier
  // datagram, which a connected UDP socket reports on its next send, is
  // passed over: the socket stays and this datagram is sent all the same.
  void Send(const std::string& datagram);

 private:
  explicit TSyslogSender(std::intptr_t socket) : socket_(socket) {}
  std::intptr_t socket_;  // a file descriptor, or a Winsock SOCKET
};

}  // namespace orvane
