#include <windows.h>
// windows.h first: the credential header relies on it.
#include <wincred.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "support/SquidProxy.h"
#include "support/WindowsTestSupport_win.h"
#include "system/OSFunctions_win.h"

namespace orvane::test {
namespace {

constexpr const char* kProxyVariable = "ORVANE_TEST_NTLM_PROXY";
constexpr const char* kLogVariable = "ORVANE_TEST_NTLM_PROXY_LOG";
constexpr wchar_t kProxyHost[] = L"127.0.0.1";

std::optional<std::string> Environment(const char* name) {
  const std::wstring wideName = Utf8ToWide(name);
  const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(wideName.c_str(), value.data(), size));
  return WideToUtf8(value);
}

}  // namespace

// The running squid, where its log stood when the object was made, and, under
// Wine, the stand-in for a Windows logon.
struct SquidProxy::Instance {
  ~Instance() {
    if (savedLogon) CredDeleteW(kProxyHost, CRED_TYPE_DOMAIN_PASSWORD, 0);
  }

  std::filesystem::path log;
  std::uintmax_t start = 0;
  bool savedLogon = false;
};

std::optional<std::string> SquidProxy::Unavailable() {
  for (const char* variable : {kProxyVariable, kLogVariable}) {
    if (!Environment(variable)) {
      return std::string(variable) +
             " is not set: scripts/test-windows starts squid with NTLM sign-in for these tests (and needs "
             "squid and winbind's ntlm_auth, which Wine's NTLM runs)";
    }
  }
  return std::nullopt;
}

SquidProxy::SquidProxy() : instance_(std::make_unique<Instance>()) {
  if (auto reason = Unavailable()) throw std::runtime_error(*reason);
  const std::string address = *Environment(kProxyVariable);
  if (address.rfind("127.0.0.1:", 0) != 0) {
    throw std::runtime_error(std::string(kProxyVariable) + " is not 127.0.0.1:<port>: " + address);
  }
  port_ = std::stoi(address.substr(address.find(':') + 1));
  if (!LoopbackPortAccepts(port_)) throw std::runtime_error("no squid listens on " + address);
  instance_->log = Utf8Path(*Environment(kLogVariable));
  instance_->start = ReadLogFrom(instance_->log, 0).size();

  // Wine has no Windows logon: its NTLM signs in with the user's saved
  // domain credential for the server when there is one (as Windows itself
  // does), and otherwise asks winbind for cached logon credentials, which a
  // machine outside a domain does not have. The saved credential stands in
  // for the logon; the program still asks for the current user's sign-in.
  if (RunningUnderWine()) {
    wchar_t user[] = L"ORVANE\\logon";
    wchar_t password[] = L"logon-password";
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_DOMAIN_PASSWORD;
    credential.TargetName = const_cast<wchar_t*>(kProxyHost);
    credential.UserName = user;
    credential.CredentialBlob = reinterpret_cast<BYTE*>(password);
    credential.CredentialBlobSize = sizeof password - sizeof(wchar_t);
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    if (!CredWriteW(&credential, 0)) {
      throw std::runtime_error("cannot save the stand-in logon credential: error " +
                               std::to_string(GetLastError()));
    }
    instance_->savedLogon = true;
  }
}

SquidProxy::~SquidProxy() = default;

std::string SquidProxy::Log() const { return ReadLogFrom(instance_->log, instance_->start); }

}  // namespace orvane::test
