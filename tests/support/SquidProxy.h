// A real proxy that demands NTLM sign-in for tests: squid on 127.0.0.1 with
// its ntlm_fake_auth helper, which takes any well-formed NTLM sign-in and
// logs the user name it carries. Its access log is read back to see which
// requests went through and as whom.
//
// On Linux each object starts its own squid with a generated configuration
// and stops it when it goes. A Windows program cannot start a Linux program,
// so there the object stands for the squid that scripts/test-windows starts
// beside the tests and names in the environment; the log then counts from the
// moment the object was made.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane::test {

class SquidProxy {
 public:
  // Why no NTLM proxy can be had here (squid not installed, the Windows
  // tests not started by their script), or nullopt.
  static std::optional<std::string> Unavailable();

  SquidProxy();
  ~SquidProxy();
  SquidProxy(const SquidProxy&) = delete;
  SquidProxy& operator=(const SquidProxy&) = delete;

  int Port() const { return port_; }

  // One line of the access log.
  struct Request {
    std::string result;  // "TCP_DENIED/407", "TCP_MISS/200"
    std::string method;
    std::string url;
    std::string user;  // "-" when the request carried no accepted sign-in
  };
  // The requests the proxy logged while this object existed.
  std::vector<Request> Requests() const;
  // The same once the latest of them is one the proxy let through: squid
  // logs a request when it ends, which can be a moment after the client has
  // its answer. Gives up after a few seconds.
  std::vector<Request> RequestsOnceThrough() const;

 private:
  std::string Log() const;  // the access log's lines since the object was made

  struct Instance;  // the platform's part
  std::unique_ptr<Instance> instance_;
  int port_ = 0;
};

}  // namespace orvane::test
