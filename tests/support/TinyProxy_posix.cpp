#include "support/TinyProxy.h"

#include <unistd.h>

#include <chrono>
#include <sstream>
#include <stdexcept>

#include "support/ServerProcess_posix.h"
#include "support/TestSupport.h"


namespace orvane::test {
namespace {

constexpr const char* kTinyproxy = "/usr/bin/tinyproxy";

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
    port_ = FreeLoopbackPort();
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

  pid_ = StartServerProcess(kTinyproxy, {"-d", "-c", conf.string()}, (dir_ / "output.txt").string());
  return WaitUntilServing(pid_, port, std::chrono::seconds(10), std::chrono::milliseconds(10));
}

void TinyProxy::Instance::Kill() {
  StopServerProcess(pid_, std::chrono::seconds(5), std::chrono::milliseconds(5));
}

std::string TinyProxy::Log() const { return ReadFileBytes(instance_->dir_ / "tinyproxy.log"); }

}  // namespace orvane::test
