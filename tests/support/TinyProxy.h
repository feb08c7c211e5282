// A real HTTP proxy for tests: /usr/bin/tinyproxy in the foreground on
// 127.0.0.1 with a generated configuration, stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "support/TestSupport.h"

namespace orvane::test {

class TinyProxy {
 public:
  struct Options {
    // When User is set, the proxy demands these Basic credentials: 407
    // without any, 401 for wrong ones. tinyproxy's configuration takes
    // letters and digits here.
    std::string User;
    std::string Password;
  };

  TinyProxy();
  explicit TinyProxy(const Options& options);
  ~TinyProxy();
  TinyProxy(const TinyProxy&) = delete;
  TinyProxy& operator=(const TinyProxy&) = delete;

  int Port() const { return port_; }
  std::string Log() const;
  // Requests the proxy has read (one per request line, including those it
  // refused for missing credentials).
  std::size_t RequestCount() const;

 private:
  bool Launch(const Options& options);
  void Kill();

  TempDir dir_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace orvane::test
