// A download server on 127.0.0.1 that serves orvanesupport.json with
// whatever body and status the test sets, and option lists to serve.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/ConfigFile.h"
#include "app/RemoteSupportConfig.h"
#include "support/LoopbackHttpServer.h"

namespace orvane::test {

class ConfigServer {
 public:
  ConfigServer() {
    server_.Routes().Get("/orvanesupport.json", [this](const httplib::Request&, httplib::Response& res) {
      std::lock_guard lock(mutex_);
      res.status = status_;
      if (status_ == 200 && stall_) {
        // The first bytes of a long answer, then nothing until the server
        // stops.
        res.set_content_provider(1 << 20, "application/json",
                                 [this](size_t offset, size_t, httplib::DataSink& sink) {
                                   if (offset == 0) return sink.write("{\"downloadLinks\":", 17);
                                   server_.WaitUntilStopping();
                                   return false;
                                 });
      } else if (status_ == 200) {
        res.set_content(body_, "application/json");
      }
    });
    server_.Start();
  }

  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(server_.Port()); }
  // Until the first call the server answers 404.
  void Serve(std::string body, int status = 200) {
    std::lock_guard lock(mutex_);
    body_ = std::move(body);
    status_ = status;
    stall_ = false;
  }
  // Answers 200, sends the start of a list and then stalls.
  void ServeStalling() {
    std::lock_guard lock(mutex_);
    status_ = 200;
    stall_ = true;
  }
  int Requests() const { return static_cast<int>(server_.RequestCount()); }

 private:
  std::mutex mutex_;
  std::string body_;
  int status_ = 404;
  bool stall_ = false;
  LoopbackHttpServer server_;  // last: stops before the state it serves goes
};

// A list of options with the given names, as the configuration file holds it.
inline TRemoteSupportConfig MakeConfig(const std::vector<std::string>& names, int defaultIndex) {
  std::vector<TRemoteSupportItem> items;
  for (const std::string& n : names) items.emplace_back(n, n + ".exe", "http://127.0.0.1/" + n, "sha", "");
  return TRemoteSupportConfig(std::move(items), defaultIndex);
}

inline std::string ConfigText(const std::vector<std::string>& names, int defaultIndex) {
  return ConfigToJsonText(MakeConfig(names, defaultIndex)) + "\r\n";
}

inline const std::vector<std::string> kFour = {"teamviewer", "remotely_x86", "remotely_x64",
                                               "remotely_install"};

}  // namespace orvane::test
