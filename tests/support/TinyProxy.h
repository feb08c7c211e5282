// A real HTTP proxy for tests: tinyproxy on 127.0.0.1, its log read back to
// see which requests reached it.
//
// On Linux each object starts its own tinyproxy with a generated
// configuration and stops it when it goes. A Windows program cannot start a
// Linux program, so there the object stands for one of the two proxies that
// scripts/test-windows starts beside the tests and names in the environment;
// the log then counts from the moment the object was made.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace orvane::test {

class TinyProxy {
 public:
  // BasicAuth: the proxy demands User() and Password() as Basic credentials,
  // answering 407 without any and 401 for wrong ones.
  enum class Access { Open, BasicAuth };

  explicit TinyProxy(Access access = Access::Open);
  ~TinyProxy();
  TinyProxy(const TinyProxy&) = delete;
  TinyProxy& operator=(const TinyProxy&) = delete;

  int Port() const { return port_; }
  // Empty for an open proxy. tinyproxy's configuration takes letters and
  // digits here.
  const std::string& User() const { return user_; }
  const std::string& Password() const { return password_; }

  // What the proxy logged while this object existed.
  std::string Log() const;
  // Requests the proxy has read (one per request line, including those it
  // refused for missing or wrong credentials).
  std::size_t RequestCount() const;

 private:
  struct Instance;  // the platform's part
  std::unique_ptr<Instance> instance_;
  int port_ = 0;
  std::string user_;
  std::string password_;
};

}  // namespace orvane::test
