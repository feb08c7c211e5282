// A download server on 127.0.0.1 for signed option lists: serves
// orvanesupport.json and orvanesupport.json.sig, each with a body the test
// sets or a 404, sent in the way the test chooses.
#pragma once

#include <algorithm>
#include <memory>
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
  // How the bodies are sent: with a Content-Length, in chunks, or without
  // either until the connection closes.
  enum class Delivery { Length, Chunked, UntilClose };
  void SendAs(Delivery delivery) {
    std::lock_guard lock(mutex_);
    delivery_ = delivery;
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
      if (!(this->*body)) {
        res.status = 404;
        return;
      }
      constexpr char kType[] = "application/octet-stream";
      if (delivery_ == Delivery::Length) {
        res.set_content(*(this->*body), kType);
        return;
      }
      auto content = std::make_shared<const std::string>(*(this->*body));
      auto provider = [content](size_t offset, httplib::DataSink& sink) {
        if (offset >= content->size()) {
          sink.done();
          return true;
        }
        return sink.write(content->data() + offset, std::min<size_t>(content->size() - offset, 16 << 10));
      };
      if (delivery_ == Delivery::Chunked) {
        res.set_chunked_content_provider(kType, provider);
      } else {
        res.set_content_provider(kType, provider);
      }
    });
  }

  std::mutex mutex_;
  std::optional<std::string> list_;
  std::optional<std::string> signature_;
  Delivery delivery_ = Delivery::Length;
  LoopbackHttpServer server_;  // last: stops before the state it serves goes
};

}  // namespace orvane::test
