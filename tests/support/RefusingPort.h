// A loopback port that refuses connections: bound, never listening, and held
// for the life of the object so that nothing else takes it.
#pragma once

#include <cstdint>
#include <string>

namespace orvane::test {

// The OS error number a refused connection carries (ECONNREFUSED,
// WSAECONNREFUSED on Windows).
extern const int kConnectionRefusedError;

class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;

  int Port() const { return port_; }
  std::string Url(const std::string& path = "/") const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  std::intptr_t socket_ = -1;  // a file descriptor, or a Winsock SOCKET
  int port_ = 0;
};

}  // namespace orvane::test
