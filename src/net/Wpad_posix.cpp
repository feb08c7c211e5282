#include <netdb.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <sstream>

#include "net/Wpad.h"

namespace orvane {

namespace {

std::string DomainOfName(const std::string& name) {
  const std::size_t dot = name.find('.');
  if (dot == std::string::npos) return {};
  std::string domain = name.substr(dot + 1);
  if (!domain.empty() && domain.back() == '.') domain.pop_back();
  return domain;
}

}  // namespace

std::string HostDnsDomain() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') {
    std::string domain = DomainOfName(name);
    if (!domain.empty()) return domain;

    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) == 0 && found != nullptr) {
      if (found->ai_canonname != nullptr) domain = DomainOfName(found->ai_canonname);
      freeaddrinfo(found);
      if (!domain.empty()) return domain;
    }
  }
  std::ifstream file("/etc/resolv.conf");
  std::ostringstream text;
  text << file.rdbuf();
  return DomainFromResolvConf(text.str());
}

}  // namespace orvane
