// Shared set-up of the download tests: scripted (empty) proxy discovery so
// that no test consults the machine's settings, captured trace lines, and the
// process-wide request state restored afterwards.
#pragma once

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/OvixDbg.h"
#include "net/OvixHttpGet.h"

namespace orvane::test {

class NetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDiscovery_ = SetProxyDiscovery(
        {[] { return std::optional<TIEProxyConfig>(); },
         [](const std::string&, const TIEProxyConfig&) { return std::optional<TAutoProxyResult>(); }});
    previousSink_ = SetOvixDbgSink([this](const std::string& line) { trace_.push_back(line); });
    previousSettings_ = GetHttpGetSettings();
    ClearOvixHttpProxy();
  }

  void TearDown() override {
    SetProxyDiscovery(previousDiscovery_);
    SetOvixDbgSink(previousSink_);
    SetHttpGetSettings(previousSettings_);
    ClearOvixHttpProxy();
  }

  // Answers the two discovery calls with the given proxy list (access type
  // "named proxy"), or with "no proxy" when the list is empty.
  void DiscoverProxy(const std::string& list, const TIEProxyConfig& config = {true, "", "", ""}) {
    SetProxyDiscovery({[config] { return std::optional<TIEProxyConfig>(config); },
                       [list](const std::string&, const TIEProxyConfig&) {
                         TAutoProxyResult result;
                         result.AccessType =
                             list.empty() ? kProxyAccessTypeNoProxy : kProxyAccessTypeNamedProxy;
                         result.Proxy = list;
                         return std::optional<TAutoProxyResult>(result);
                       }});
  }

  void TrustCA(const std::string& caFile) {
    THttpGetSettings settings = GetHttpGetSettings();
    settings.CABundle = caFile;
    SetHttpGetSettings(settings);
  }

  bool Traced(const std::string& line) const {
    return std::find(trace_.begin(), trace_.end(), line) != trace_.end();
  }

  std::vector<std::string> trace_;

 private:
  TProxyDiscovery previousDiscovery_;
  OvixDbgSink previousSink_;
  THttpGetSettings previousSettings_;
};

// A loopback port that refuses connections: bound, never listening, and held
// for the life of the object so that nothing else takes it.
class RefusingPort {
 public:
  RefusingPort() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("cannot reserve a loopback port");
    }
    port_ = ntohs(address.sin_port);
  }
  ~RefusingPort() { close(fd_); }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;

  int Port() const { return port_; }
  std::string Url(const std::string& path = "/") const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  int fd_;
  int port_ = 0;
};

// Deterministic, non-repeating-looking content of the given size.
inline std::string PatternBody(size_t size) {
  std::string body(size, '\0');
  uint32_t x = 2463534242u;
  for (auto& c : body) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return body;
}

}  // namespace orvane::test
