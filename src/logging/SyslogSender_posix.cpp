#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "logging/SyslogSender.h"

namespace orvane {

std::optional<TIPv4Address> LookupIPv4(const std::string& host) {
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
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

std::unique_ptr<TSyslogSender> TSyslogSender::Open(TIPv4Address address, std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  const int on = 1;
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port);
  server.sin_addr.s_addr = htonl(address);
  // Without SO_BROADCAST, connecting to a broadcast address fails.
  if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
      connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<TSyslogSender>(new TSyslogSender(fd));
}

TSyslogSender::~TSyslogSender() { close(static_cast<int>(socket_)); }

void TSyslogSender::Send(const std::string& datagram) {
  const int fd = static_cast<int>(socket_);
  if (send(fd, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) return;
  // The refusal belongs to an earlier datagram and was reported instead of
  // sending this one; the error is cleared now, so try once more.
  if (errno == ECONNREFUSED) send(fd, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

}  // namespace orvane
