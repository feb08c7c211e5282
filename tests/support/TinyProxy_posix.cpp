#include "support/TinyProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/TestSupport.h"

extern char** environ;

namespace orvane::test {
namespace {

constexpr const char* kTinyproxy = "/usr/bin/tinyproxy";

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A port that was free a moment ago; tinyproxy needs a fixed one in its
// configuration, so a lost race is retried by the caller.
int FreePort() {
  int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) throw std::runtime_error("socket failed");
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(s);
    throw std::runtime_error("cannot find a free loopback port");
  }
  close(s);
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  sockaddr_in address = Loopback(port);
  const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(s);
  return ok;
}

}  // namespace

// A tinyproxy process of this object's own.
struct TinyProxy::Instance {
  ~Instance() { Kill(); }
  bool Launch(int port, const std::string& user, const std::string& password);
  void Kill();

  TempDir dir_;
  pid_t pid_ = -1;
};

TinyProxy::TinyProxy(Access access) : instance_(std::make_unique<Instance>()) {
  if (access == Access::BasicAuth) {
    user_ = "user";
    password_ = "secret";
  }
  for (int attempt = 0; attempt < 5; ++attempt) {
    port_ = FreePort();
    if (instance_->Launch(port_, user_, password_)) return;
  }
  throw std::runtime_error("tinyproxy did not start; its output:\n" +
                           ReadFileBytes(instance_->dir_ / "output.txt"));
}

TinyProxy::~TinyProxy() = default;

bool TinyProxy::Instance::Launch(int port, const std::string& user, const std::string& password) {
  const auto conf = dir_ / "tinyproxy.conf";
  std::ostringstream text;
  // Without a User line tinyproxy keeps the test's own user (root in CI,
  // with a warning); dropping to "nobody" would lose access to the log file.
  text << "Port " << port << "\n"
       << "Listen 127.0.0.1\n"
       << "Allow 127.0.0.1\n"
       << "Timeout 60\n"
       << "LogLevel Connect\n"
       << "LogFile \"" << (dir_ / "tinyproxy.log").string() << "\"\n";
  // No ConnectPort line: CONNECT is allowed to any port, which https tests
  // against ephemeral ports need.
  if (!user.empty()) text << "BasicAuth " << user << " " << password << "\n";
  WriteFileBytes(conf, text.str());
  WriteFileBytes(dir_ / "tinyproxy.log", "");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string output = (dir_ / "output.txt").string();
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const std::string confPath = conf.string();
  char* argv[] = {const_cast<char*>(kTinyproxy), const_cast<char*>("-d"), const_cast<char*>("-c"),
                  const_cast<char*>(confPath.c_str()), nullptr};
  const int rc = posix_spawn(&pid_, kTinyproxy, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    throw std::runtime_error(std::string("cannot start ") + kTinyproxy);
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (Accepts(port)) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;  // exited: most likely the port was taken meanwhile
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Kill();
  return false;
}

void TinyProxy::Instance::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
}

std::string TinyProxy::Log() const { return ReadFileBytes(instance_->dir_ / "tinyproxy.log"); }

}  // namespace orvane::test
