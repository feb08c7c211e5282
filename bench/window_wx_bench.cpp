// Window benchmarks with the real assistant window, two modes:
//   bench_window_wx stall               the window downloads from a loopback
//                                       server that sends the headers and a
//                                       few bytes, then nothing; a timer ticks
//                                       every 5 ms meanwhile, and 3 to 4 s in
//                                       a second thread presses Escape. Prints
//                                       "<largest gap between two handled
//                                       ticks, ms> <Escape to the end of the
//                                       transfer as the server sees it, ms>
//                                       <outcome>"
//   bench_window_wx writeconfig <file>  writes the built-in option list there
//                                       (for the start-up comparison)
// bench/window.sh runs both.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/timer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/ConfigFile.h"
#include "app/MainForm_wx.h"
#include "app/RemoteSupportConfig.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Answers one GET with a long body's headers and 100 bytes, then waits for
// the client to hang up and notes when it did.
class StallingServer {
 public:
  StallingServer() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~StallingServer() {
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    thread_.join();
  }
  int Port() const { return port_; }
  Clock::time_point ClosedAt() const { return closedAt_.load(); }

 private:
  void Serve() {
    const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    char buffer[4096];
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t got = recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      request.append(buffer, static_cast<size_t>(got));
    }
    const std::string answer =
        "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 1048576\r\n\r\n" +
        std::string(100, 'x');
    send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
    while (recv(client, buffer, sizeof buffer, 0) > 0) {
    }
    closedAt_ = Clock::now();
    close(client);
  }

  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::atomic<Clock::time_point> closedAt_{};
};

class StallApp : public wxApp {
 public:
  bool OnInit() override {
    orvane::TMainFormOptions options;
    // An argument the program does not know: the start-up loads nothing.
    options.Arguments = std::vector<std::string>{"bench_window_wx", "--bench"};
    frame_ = new orvane::TMainFrame(std::move(options));
    frame_->Show();
    ticker_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Tick(); });
    CallAfter([this] { Run(); });
    return true;
  }

 private:
  void Tick() {
    if (frame_->Form().IsDownloading()) ticks_.push_back(Clock::now());
  }

  // The transfer has settled into its stall once the first half second is
  // over; every gap that began before the Escape counts.
  double LargestGap() const {
    double largest = 0;
    for (size_t i = 1; i < ticks_.size(); ++i) {
      if (ticks_[i - 1] < start_ + std::chrono::milliseconds(500) || ticks_[i - 1] > escapeAt_) continue;
      largest = std::max(largest, Ms(ticks_[i] - ticks_[i - 1]));
    }
    return largest;
  }

  void Run() {
    StallingServer server;
    start_ = Clock::now();
    ticker_.Start(5);
    // Escape comes from outside the GUI thread, at a moment that has nothing
    // to do with the window's own rhythm.
    // 3 to 4 s in, at a random moment: a fixed delay could fall into the
    // same phase of the window's rhythm in every run.
    std::random_device random;
    const auto delay = std::chrono::milliseconds(3000 + random() % 1000);
    std::thread presser([this, delay] {
      std::this_thread::sleep_for(delay);
      escapeAt_ = Clock::now();
      auto* key = new wxKeyEvent(wxEVT_CHAR_HOOK);
      key->m_keyCode = WXK_ESCAPE;
      frame_->GetEventHandler()->QueueEvent(key);
    });
    const orvane::TDownloadResult result = frame_->Form().DownloadFile(
        "http://127.0.0.1:" + std::to_string(server.Port()) + "/tool.exe", "bench-window-download.bin");
    presser.join();
    ticker_.Stop();
    // The server notes the hang-up on its own thread; wait for it briefly.
    for (int i = 0; i < 500 && server.ClosedAt() == Clock::time_point{}; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::printf("%.1f %.1f %s\n", LargestGap(), Ms(server.ClosedAt() - escapeAt_),
                result == orvane::TDownloadResult::Cancelled ? "cancelled" : "not-cancelled");
    std::fflush(stdout);
    frame_->Destroy();
  }

  orvane::TMainFrame* frame_ = nullptr;
  wxTimer ticker_;
  Clock::time_point start_;
  Clock::time_point escapeAt_;
  std::vector<Clock::time_point> ticks_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "writeconfig") {
    orvane::TRemoteSupportConfig config;
    config.CreateDummyConfig();
    orvane::WriteConfigFile(argv[2], config);
    return 0;
  }
  if (argc == 2 && std::string(argv[1]) == "stall") {
    wxApp::SetInstance(new StallApp);
    return wxEntry(argc, argv);
  }
  std::fprintf(stderr, "usage: bench_window_wx stall | writeconfig <file>\n");
  return 2;
}
