#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "support/UdpReceiver.h"

namespace orvane::test {

UdpReceiver::UdpReceiver(int port) : socket_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  socklen_t length = sizeof address;
  const int fd = static_cast<int>(socket_);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    throw std::runtime_error("cannot bind a loopback UDP port");
  }
  port_ = ntohs(address.sin_port);
}

UdpReceiver::~UdpReceiver() { close(static_cast<int>(socket_)); }

std::optional<std::string> UdpReceiver::Receive() {
  pollfd p{static_cast<int>(socket_), POLLIN, 0};
  if (poll(&p, 1, 10000) != 1) return std::nullopt;
  char buffer[65536];
  const ssize_t n = recv(static_cast<int>(socket_), buffer, sizeof buffer, 0);
  if (n < 0) return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(n));
}

int ClosedUdpPort() { return UdpReceiver().Port(); }

}  // namespace orvane::test
