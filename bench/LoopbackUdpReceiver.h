// A UDP receiver on 127.0.0.1 for the syslog benchmark and its reference: a
// thread that takes every datagram off the socket and counts it, as a
// syslog daemon on the same machine would.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <thread>

class LoopbackUdpReceiver {
 public:
  LoopbackUdpReceiver() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int buffer = 8 << 20;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~LoopbackUdpReceiver() {
    Stop();
    close(fd_);
  }

  int Port() const { return port_; }

  // Stops after taking what has arrived; returns the datagrams counted.
  long Stop() {
    if (thread_.joinable()) {
      stop_ = true;
      thread_.join();
    }
    return count_;
  }

 private:
  void Run() {
    char buffer[2048];
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) != 1) {
        if (stop_) return;
        continue;
      }
      if (recv(fd_, buffer, sizeof buffer, 0) >= 0) ++count_;
    }
  }

  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<long> count_{0};
  std::thread thread_;
};
