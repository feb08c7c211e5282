// The channel between the program and its PAC evaluator: writing and taking
// apart the frames, and answering the environment calls a script makes, from
// the caller's environment or the machine's own. Both sides use it, so it is
// neither's: the program links it to talk to an evaluator, the evaluator
// program to talk back (PacChannel.h).
#include "net/PacChannel.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace orvane {

namespace {

std::optional<std::string> ResolveIPv4WithGetaddrinfo(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return std::nullopt;
  char text[INET_ADDRSTRLEN] = {};
  const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  const bool ok = inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr;
  freeaddrinfo(found);
  if (!ok) return std::nullopt;
  return std::string(text);
}

// The interface of the IPv4 default route, from the kernel's routing table.
std::string DefaultRouteInterface() {
  std::ifstream routes("/proc/net/route");
  std::string line;
  std::getline(routes, line);  // column titles
  while (std::getline(routes, line)) {
    std::istringstream fields(line);
    std::string name;
    std::string destination;
    std::string gateway;
    std::string flags;
    if (fields >> name >> destination >> gateway >> flags && destination == "00000000") return name;
  }
  return {};
}

// The address of the default-route interface, else of the first interface
// that is up and not loopback, else 127.0.0.1. No packet is sent.
std::string MyIpAddressFromInterfaces() {
  const std::string preferred = DefaultRouteInterface();
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return "127.0.0.1";
  std::string first;
  std::string chosen;
  for (ifaddrs* it = list; it != nullptr && chosen.empty(); it = it->ifa_next) {
    if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
    if ((it->ifa_flags & IFF_UP) == 0 || (it->ifa_flags & IFF_LOOPBACK) != 0) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) == nullptr) continue;
    if (!preferred.empty() && preferred == it->ifa_name) chosen = text;
    if (first.empty()) first = text;
  }
  freeifaddrs(list);
  if (!chosen.empty()) return chosen;
  return first.empty() ? "127.0.0.1" : first;
}

std::int64_t SystemNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TPacEnvironment SystemPacEnvironment() { return pac::Completed({}); }

namespace pac {

TPacEnvironment Completed(const TPacEnvironment& env) {
  TPacEnvironment complete = env;
  if (!complete.ResolveIPv4) complete.ResolveIPv4 = ResolveIPv4WithGetaddrinfo;
  if (!complete.MyIpAddress) complete.MyIpAddress = MyIpAddressFromInterfaces;
  if (!complete.NowMs) complete.NowMs = SystemNowMs;
  return complete;
}

std::string Frame(char kind, const std::string& payload) {
  char length[32];
  std::snprintf(length, sizeof length, "%020zu", payload.size());
  return std::string(1, kind) + length + payload;
}

std::optional<TFrame> TakeFrame(std::string& buffer, std::size_t maxPayload, bool& error) {
  if (buffer.size() < kFrameHead) return std::nullopt;
  std::size_t length = 0;
  const char* digits = buffer.data() + 1;
  const std::from_chars_result parsed = std::from_chars(digits, digits + kFrameHead - 1, length);
  if (parsed.ec != std::errc() || parsed.ptr != digits + kFrameHead - 1 || length > maxPayload) {
    error = true;
    return std::nullopt;
  }
  if (buffer.size() - kFrameHead < length) return std::nullopt;
  TFrame frame{buffer[0], buffer.substr(kFrameHead, length)};
  buffer.erase(0, kFrameHead + length);
  return frame;
}

std::optional<std::string> AnswerAskBack(const TFrame& question, const TPacEnvironment& env) {
  switch (question.kind) {
    case 'D':
      return env.ResolveIPv4(question.payload);
    case 'I':
      return env.MyIpAddress();
    case 'T':
      return std::to_string(env.NowMs());
    default:
      return std::nullopt;
  }
}

}  // namespace pac

}  // namespace orvane
