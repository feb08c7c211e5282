// A UDP receiver on 127.0.0.1 for the syslog tests: bound to a free port (or
// a given one) for the life of the object, it hands back each datagram it
// got as bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvane::test {

class UdpReceiver {
 public:
  // port 0: any free port.
  explicit UdpReceiver(int port = 0);
  ~UdpReceiver();
  UdpReceiver(const UdpReceiver&) = delete;
  UdpReceiver& operator=(const UdpReceiver&) = delete;

  int Port() const { return port_; }

  // The next datagram, waiting up to ten seconds for it; nullopt when none
  // came. Datagrams on loopback arrive in the order they were sent, so a
  // test checks that something was not sent by sending a later message and
  // finding that one next.
  std::optional<std::string> Receive();

 private:
  std::intptr_t socket_ = -1;  // a file descriptor, or a Winsock SOCKET
  int port_ = 0;
};

// A loopback UDP port on which nothing listens, found by binding a socket
// and closing it again.
int ClosedUdpPort();

}  // namespace orvane::test
