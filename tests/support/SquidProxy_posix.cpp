#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "support/ServerProcess_posix.h"
#include "support/SquidProxy.h"
#include "support/TestSupport.h"


namespace orvane::test {
namespace {

constexpr const char* kSquid = "/usr/sbin/squid";
constexpr const char* kNtlmHelper = "/usr/lib/squid/ntlm_fake_auth";

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
    port_ = FreeLoopbackPort();
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

  const std::string conf = (dir_ / "squid.conf").string();
  // -N: in the foreground, one process, so that the object can stop it.
  pid_ = StartServerProcess(kSquid, {"-N", "-f", conf}, (dir_ / "output.txt").string());
  return WaitUntilServing(pid_, port, std::chrono::seconds(20), std::chrono::milliseconds(20));
}

void SquidProxy::Instance::Kill() {
  StopServerProcess(pid_, std::chrono::seconds(10), std::chrono::milliseconds(10));
}

std::string SquidProxy::Log() const { return ReadFileBytes(instance_->dir_ / "access.log"); }

}  // namespace orvane::test
