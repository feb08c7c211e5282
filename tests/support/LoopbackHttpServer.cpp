#include "support/LoopbackHttpServer.h"

#include <stdexcept>

namespace orvane::test {

LoopbackHttpServer::LoopbackHttpServer() : server_(std::make_unique<httplib::Server>()) {}

LoopbackHttpServer::~LoopbackHttpServer() { Stop(); }

void LoopbackHttpServer::ServeFolder(const std::filesystem::path& folder, const std::string& mountPoint) {
  if (!server_->set_mount_point(mountPoint, folder.string())) {
    throw std::runtime_error("cannot serve folder " + folder.string());
  }
  // Programs go out as download servers send them, not as text.
  server_->set_file_extension_and_mimetype_mapping("exe", "application/octet-stream");
}

void LoopbackHttpServer::Start() {
  if (thread_.joinable()) return;
  // Connections end with the client; a test never waits for keep-alive.
  server_->set_keep_alive_timeout(1);
  // Headers and body go out in separate writes; without this the second
  // one waits for a delayed ACK.
  server_->set_tcp_nodelay(true);
  // Recorded before the handler runs, so a request is counted by the time
  // its client has the answer.
  server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
    std::lock_guard lock(mutex_);
    requests_.push_back({req.method, req.target, req.headers});
    return httplib::Server::HandlerResponse::Unhandled;
  });
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("cannot bind a loopback port");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() only takes effect once the accept loop runs.
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
  return std::string(https_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackHttpServer::WaitUntilStopping(std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  stopping_cv_.wait_for(lock, limit, [this] { return stopping_; });
}

std::vector<RecordedRequest> LoopbackHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t LoopbackHttpServer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

void LoopbackHttpServer::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopping_cv_.notify_all();
  if (thread_.joinable()) {
    server_->stop();
    thread_.join();
  }
}

}  // namespace orvane::test
