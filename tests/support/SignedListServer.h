// A download server on 127.0.0.1 for signed option lists: serves
// orvanesupport.json and orvanesupport.json.sig, each with a body the test
// sets or a 404.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/LoopbackHttpServer.h"

namespace orvane::test {

class SignedListServer {
 public:
  SignedListServer() { Start(); }
  explicit SignedListServer(const TestCertificate& certificate) : server_(certificate) { Start(); }

  // No trailing slash, as the program's base URL.
  std::string BaseUrl() const { return server_.Url(""); }
  // nullopt: that file answers 404.
  void Serve(std::optional<std::string> list, std::optional<std::string> signature) {
    std::lock_guard lock(mutex_);
    list_ = std::move(list);
    signature_ = std::move(signature);
  }
  std::vector<std::string> Targets() const {
    std::vector<std::string> targets;
    for (const RecordedRequest& r : server_.Requests()) targets.push_back(r.Target);
    return targets;
  }

 private:
  void Start() {
    Route("/orvanesupport.json", &SignedListServer::list_);
    Route("/orvanesupport.json.sig", &SignedListServer::signature_);
    server_.Start();
  }
  void Route(const char* path, std::optional<std::string> SignedListServer::*body) {
    server_.Routes().Get(path, [this, body](const httplib::Request&, httplib::Response& res) {
      std::lock_guard lock(mutex_);
      if (this->*body) {
        res.set_content(*(this->*body), "application/octet-stream");
      } else {
        res.status = 404;
      }
    });
  }

  std::mutex mutex_;
  std::optional<std::string> list_;
  std::optional<std::string> signature_;
  LoopbackHttpServer server_;  // last: stops before the state it serves goes
};

}  // namespace orvane::test
