#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/SquidProxy.h"
#include "support/TestSupport.h"

extern char** environ;

namespace orvane::test {
namespace {

constexpr const char* kSquid = "/usr/sbin/squid";
constexpr const char* kNtlmHelper = "/usr/lib/squid/ntlm_fake_auth";

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A port that was free a moment ago; squid needs a fixed one in its
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

// squid started by root drops to an unprivileged user, which must be able to
// write the log and pid files of the folder.
const passwd* EffectiveUser() {
  if (geteuid() != 0) return nullptr;
  if (const passwd* user = getpwnam("proxy")) return user;  // Debian's squid user
  if (const passwd* user = getpwnam("nobody")) return user;
  throw std::runtime_error("squid refuses to run as root, and there is no proxy or nobody user");
}

}  // namespace

// A squid process of this object's own.
struct SquidProxy::Instance {
  ~Instance() { Kill(); }
  bool Launch(int port);
  void Kill();

  TempDir dir_;
  pid_t pid_ = -1;
};

std::optional<std::string> SquidProxy::Unavailable() {
  for (const char* program : {kSquid, kNtlmHelper}) {
    if (access(program, X_OK) != 0) {
      return std::string(program) +
             " is not installed (Debian package squid; scripts/setup-deps installs it)";
    }
  }
  return std::nullopt;
}

SquidProxy::SquidProxy() : instance_(std::make_unique<Instance>()) {
  if (auto reason = Unavailable()) throw std::runtime_error(*reason);
  for (int attempt = 0; attempt < 5; ++attempt) {
    port_ = FreePort();
    if (instance_->Launch(port_)) return;
  }
  throw std::runtime_error("squid did not start; its output:\n" +
                           ReadFileBytes(instance_->dir_ / "output.txt") + "\ncache.log:\n" +
                           ReadFileBytes(instance_->dir_ / "cache.log"));
}

SquidProxy::~SquidProxy() = default;

bool SquidProxy::Instance::Launch(int port) {
  const std::string dir = dir_.path().string();
  std::ostringstream text;
  // Only loopback, no disk cache, nothing cached in memory either, every
  // file in the folder, and DNS (not needed for 127.0.0.1) kept on loopback.
  text << "http_port 127.0.0.1:" << port << "\n"
       << "pid_filename " << dir << "/squid.pid\n"
       << "access_log stdio:" << dir << "/access.log\n"
       << "cache_log " << dir << "/cache.log\n"
       << "cache_store_log none\n"
       << "coredump_dir " << dir << "\n"
       << "cache deny all\n"
       << "shutdown_lifetime 0 seconds\n"
       << "pinger_enable off\n"
       << "netdb_filename none\n"
       << "visible_hostname localhost\n"
       << "dns_nameservers 127.0.0.1\n"
       << "auth_param ntlm program " << kNtlmHelper << "\n"
       << "auth_param ntlm children 2 startup=1 idle=1\n"
       << "acl auth proxy_auth REQUIRED\n"
       << "http_access deny !localhost\n"
       << "http_access allow auth\n"
       << "http_access deny all\n";
  const passwd* user = EffectiveUser();
  if (user != nullptr) text << "cache_effective_user " << user->pw_name << "\n";
  WriteFileBytes(dir_ / "squid.conf", text.str());
  WriteFileBytes(dir_ / "access.log", "");
  if (user != nullptr) {
    for (const auto& path : {dir_.path(), dir_ / "access.log"}) {
      if (chown(path.c_str(), user->pw_uid, user->pw_gid) != 0) {
        throw std::runtime_error("cannot hand " + path.string() + " to the squid user");
      }
    }
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string output = (dir_ / "output.txt").string();
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const std::string conf = (dir_ / "squid.conf").string();
  // -N: in the foreground, one process, so that the object can stop it.
  char* argv[] = {const_cast<char*>(kSquid), const_cast<char*>("-N"), const_cast<char*>("-f"),
                  const_cast<char*>(conf.c_str()), nullptr};
  const int rc = posix_spawn(&pid_, kSquid, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    throw std::runtime_error(std::string("cannot start ") + kSquid);
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (Accepts(port)) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;  // exited: most likely the port was taken meanwhile
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Kill();
  return false;
}

void SquidProxy::Instance::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

std::string SquidProxy::Log() const { return ReadFileBytes(instance_->dir_ / "access.log"); }

}  // namespace orvane::test
