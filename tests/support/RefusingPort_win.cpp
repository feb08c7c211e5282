#include <winsock2.h>

#include <stdexcept>

#include "support/RefusingPort.h"

namespace orvane::test {

const int kConnectionRefusedError = WSAECONNREFUSED;

// Windows answers a connection to a port without a listener with a reset, as
// Linux does; the client only retries a few times before it reports it.
RefusingPort::RefusingPort() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (s != INVALID_SOCKET) closesocket(s);
    WSACleanup();
    throw std::runtime_error("cannot reserve a loopback port");
  }
  socket_ = static_cast<std::intptr_t>(s);
  port_ = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort() {
  closesocket(static_cast<SOCKET>(socket_));
  WSACleanup();
}

}  // namespace orvane::test
