#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>

#include "support/UdpReceiver.h"

namespace orvane::test {

namespace {

void StartWinsock() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("WSAStartup failed");
}

}  // namespace

UdpReceiver::UdpReceiver(int port) {
  StartWinsock();
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  socket_ = static_cast<std::intptr_t>(s);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  int length = sizeof address;
  if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (s != INVALID_SOCKET) closesocket(s);
    throw std::runtime_error("cannot bind a loopback UDP port");
  }
  port_ = ntohs(address.sin_port);
}

UdpReceiver::~UdpReceiver() { closesocket(static_cast<SOCKET>(socket_)); }

std::optional<std::string> UdpReceiver::Receive() {
  const auto s = static_cast<SOCKET>(socket_);
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval wait{10, 0};
  if (select(0, &readable, nullptr, nullptr, &wait) != 1) return std::nullopt;
  std::string buffer(65536, '\0');
  const int n = recv(s, buffer.data(), static_cast<int>(buffer.size()), 0);
  if (n == SOCKET_ERROR) return std::nullopt;
  buffer.resize(static_cast<std::size_t>(n));
  return buffer;
}

int ClosedUdpPort() { return UdpReceiver().Port(); }

}  // namespace orvane::test
