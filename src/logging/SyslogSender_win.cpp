#include <mswsock.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "logging/SyslogSender.h"

namespace orvane {

namespace {

// Winsock is started on first use, once per process, and cleaned up when the
// process ends.
class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data{};
    ready_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockSession() {
    if (ready_) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  bool ready() const { return ready_; }

 private:
  bool ready_ = false;
};

bool WinsockReady() {
  static WinsockSession session;
  return session.ready();
}

}  // namespace

std::optional<TIPv4Address> LookupIPv4(const std::string& host) {
  if (!WinsockReady()) return std::nullopt;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
  std::optional<TIPv4Address> address;
  for (const addrinfo* a = found; a && !address; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addr)
      address = ntohl(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
  }
  freeaddrinfo(found);
  return address;
}

std::string LocalHostName() {
  char name[256] = {};
  if (!WinsockReady() || gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

std::unique_ptr<TSyslogSender> TSyslogSender::Open(TIPv4Address address, std::uint16_t port) {
  if (!WinsockReady()) return nullptr;
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return nullptr;
  // Child processes (the tools the program starts) must not inherit it.
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  u_long nonBlocking = 1;
  const BOOL on = TRUE;
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port);
  server.sin_addr.s_addr = htonl(address);
  // Without SO_BROADCAST, connecting to a broadcast address fails.
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
      setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
      connect(s, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
    closesocket(s);
    return nullptr;
  }
  // Windows would otherwise report a "port unreachable" answer as
  // WSAECONNRESET on later calls; where the switch is missing, Send passes
  // over that error itself.
  BOOL reportReset = FALSE;
  DWORD returned = 0;
  WSAIoctl(s, SIO_UDP_CONNRESET, &reportReset, sizeof reportReset, nullptr, 0, &returned, nullptr, nullptr);
  return std::unique_ptr<TSyslogSender>(new TSyslogSender(static_cast<std::intptr_t>(s)));
}

TSyslogSender::~TSyslogSender() { closesocket(static_cast<SOCKET>(socket_)); }

void TSyslogSender::Send(const std::string& datagram) {
  const auto s = static_cast<SOCKET>(socket_);
  const int size = static_cast<int>(datagram.size());
  if (send(s, datagram.data(), size, 0) != SOCKET_ERROR) return;
  // The refusal belongs to an earlier datagram and was reported instead of
  // sending this one; try once more.
  const int error = WSAGetLastError();
  if (error == WSAECONNRESET || error == WSAECONNREFUSED) send(s, datagram.data(), size, 0);
}

}  // namespace orvane
