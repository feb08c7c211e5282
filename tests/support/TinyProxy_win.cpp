#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>

#include "support/TinyProxy.h"
#include "support/WindowsTestSupport_win.h"
#include "system/OSFunctions_win.h"

namespace orvane::test {
namespace {

constexpr const char* kStartedBy =
    ": run the Windows tests through scripts/test-windows, which starts the proxies they use";

std::string Environment(const char* name) {
  const std::wstring wideName = Utf8ToWide(name);
  const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) throw std::runtime_error(std::string(name) + " is not set" + kStartedBy);
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(wideName.c_str(), value.data(), size));
  return WideToUtf8(value);
}

// The script hands over a Linux path. Wine translates it with its own
// function (the drive letter for "/" is the prefix's choice); on Windows
// itself a path is taken as it is.
std::filesystem::path HostPath(const std::string& path) {
  using ToDos = WCHAR*(CDECL*)(const char*);
  const auto toDos = reinterpret_cast<ToDos>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (toDos == nullptr || path.empty() || path.front() != '/') return Utf8ToWide(path);
  WCHAR* dos = toDos(path.c_str());
  if (dos == nullptr) throw std::runtime_error("Wine cannot translate the path " + path);
  std::filesystem::path result(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  return result;
}

int PortOf(const std::string& address, const char* name) {
  const size_t colon = address.rfind(':');
  if (address.rfind("127.0.0.1:", 0) != 0 || colon + 1 >= address.size()) {
    throw std::runtime_error(std::string(name) + " is not 127.0.0.1:<port>: " + address);
  }
  return std::stoi(address.substr(colon + 1));
}

}  // namespace

// One of the running proxies, and where its log stood when the object was
// made.
struct TinyProxy::Instance {
  std::filesystem::path log;
  std::uintmax_t start = 0;
};

TinyProxy::TinyProxy(Access access) : instance_(std::make_unique<Instance>()) {
  const bool auth = access == Access::BasicAuth;
  const char* variable = auth ? "ORVANE_TEST_AUTH_PROXY" : "ORVANE_TEST_PROXY";
  port_ = PortOf(Environment(variable), variable);
  if (auth) {
    user_ = Environment("ORVANE_TEST_AUTH_PROXY_USER");
    password_ = Environment("ORVANE_TEST_AUTH_PROXY_PASSWORD");
  }
  instance_->log = HostPath(Environment("ORVANE_TEST_PROXY_LOG_DIR")) / (auth ? "auth.log" : "plain.log");
  if (!LoopbackPortAccepts(port_)) {
    throw std::runtime_error("no proxy listens on " + std::string(variable) +
                             "=127.0.0.1:" + std::to_string(port_) + kStartedBy);
  }
  instance_->start = ReadLogFrom(instance_->log, 0).size();
}

TinyProxy::~TinyProxy() = default;

std::string TinyProxy::Log() const { return ReadLogFrom(instance_->log, instance_->start); }

}  // namespace orvane::test
