// Shared set-up of the download tests: scripted (empty) proxy discovery so
// that no test consults the machine's settings, captured trace lines, and the
// process-wide request state restored afterwards.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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

// One fixture class for the HTTP GET cases of every file: a test suite may
// have only one.
class HttpGetTest : public NetTest {};

// HttpGet into a fresh record.
inline OvixHTTPResponse Get(const std::string& url, std::string& body, const THttpProgress& progress = {}) {
  OvixHTTPResponse response;
  HttpGet(url, body, response, progress);
  return response;
}

// The streaming form into memory, for the cause a failure is explained with.
inline THttpGetOutcome GetWithCause(const std::string& url, std::string& body, OvixHTTPResponse& response) {
  struct Sink : IHttpBodySink {
    std::string& body;
    explicit Sink(std::string& target) : body(target) {}
    void Begin(std::int32_t, std::optional<std::uint64_t>) override { body.clear(); }
    void Write(const char* data, std::size_t size) override { body.append(data, size); }
  } sink(body);
  return HttpGet(MakeHttpGetRequest(url), sink, response);
}

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
