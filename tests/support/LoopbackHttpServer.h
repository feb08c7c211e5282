// An in-process HTTP or HTTPS server on 127.0.0.1 for tests that need a real
// peer: routes set by the test, files served from a folder, an ephemeral
// port, and a record of the requests it answered.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvane::test {

// A throw-away certificate authority and a server certificate it signed, as
// PEM files. Trust CAFile in the client; give CertFile and KeyFile to the
// server. The HTTPS half (LoopbackHttps_posix.cpp) is made with OpenSSL,
// which the Windows test programs do not carry: there the server speaks
// plain HTTP only.
struct TestCertificate {
  std::filesystem::path CAFile;
  std::filesystem::path CertFile;
  std::filesystem::path KeyFile;
};

// Writes ca.pem, server.pem and server-key.pem into folder. Each name
// becomes a subject alternative name: an IP address entry when it parses as
// one, a DNS entry otherwise.
TestCertificate MakeTestCertificate(const std::filesystem::path& folder,
                                    const std::vector<std::string>& names = {"127.0.0.1"});

struct RecordedRequest {
  std::string Method;
  std::string Target;  // as sent: a path, or an absolute URL through a proxy
  httplib::Headers Headers;
};

class LoopbackHttpServer {
 public:
  LoopbackHttpServer();                                             // plain HTTP
  explicit LoopbackHttpServer(const TestCertificate& certificate);  // HTTPS
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // Routes and mount points; set them up before Start(). The pre-routing
  // handler is taken (it records the requests).
  httplib::Server& Routes() { return *server_; }
  void ServeFolder(const std::filesystem::path& folder, const std::string& mountPoint = "/");

  // Binds 127.0.0.1 on a free port and serves on a background thread.
  void Start();

  int Port() const { return port_; }
  // "http://127.0.0.1:<port>" (or https) followed by path.
  std::string Url(const std::string& path = "/") const;

  // For handlers that hold a connection open on purpose (a stalling server):
  // returns when the server is being stopped or after limit.
  void WaitUntilStopping(std::chrono::milliseconds limit = std::chrono::seconds(60)) const;

  // Requests answered so far, oldest first.
  std::vector<RecordedRequest> Requests() const;
  std::size_t RequestCount() const;

 private:
  void Stop();

  std::unique_ptr<httplib::Server> server_;
  bool https_ = false;
  int port_ = 0;
  std::thread thread_;

  mutable std::mutex mutex_;
  mutable std::condition_variable stopping_cv_;
  bool stopping_ = false;
  std::vector<RecordedRequest> requests_;
};

}  // namespace orvane::test
