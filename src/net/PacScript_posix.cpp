// PAC evaluation on POSIX. The engine offers no way to interrupt a running
// script, so each evaluation runs in a forked child that reports its answer
// through a pipe; when the time limit runs out the child is killed. This also
// keeps a crash inside the engine away from the program.
#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "net/PacScript.h"

namespace orvane {

namespace {

// Answers larger than this are not proxy lists.
constexpr std::size_t kMaxAnswer = 1 << 20;

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

TPacEnvironment Completed(const TPacEnvironment& env) {
  TPacEnvironment complete = env;
  if (!complete.ResolveIPv4) complete.ResolveIPv4 = ResolveIPv4WithGetaddrinfo;
  if (!complete.MyIpAddress) complete.MyIpAddress = MyIpAddressFromInterfaces;
  if (!complete.NowMs) complete.NowMs = SystemNowMs;
  return complete;
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The child's report: one kind byte ('R' result, 'E' error), the payload
// length as 20 decimal digits, then the payload. A report that is cut short
// means the child died.
std::string EncodeReport(const TPacOutcome& outcome) {
  const char kind = outcome.Result ? 'R' : 'E';
  std::string payload = outcome.Result ? *outcome.Result : outcome.Error;
  if (payload.size() > kMaxAnswer) {
    return EncodeReport({std::nullopt, "FindProxyForURL returned an oversized answer"});
  }
  char length[32];
  std::snprintf(length, sizeof length, "%020zu", payload.size());
  return std::string(1, kind) + length + payload;
}

TPacOutcome DecodeReport(const std::string& report) {
  constexpr std::size_t kHead = 21;
  if (report.size() < kHead || (report[0] != 'R' && report[0] != 'E')) {
    return {std::nullopt, "the evaluation ended abnormally"};
  }
  const std::string length_text = report.substr(1, kHead - 1);
  if (length_text.find_first_not_of("0123456789") != std::string::npos ||
      std::stoull(length_text) != report.size() - kHead) {
    return {std::nullopt, "the evaluation ended abnormally"};
  }
  std::string payload = report.substr(kHead);
  if (report[0] == 'R') return {std::move(payload), {}};
  return {std::nullopt, std::move(payload)};
}

void Reap(pid_t child) {
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

TPacEnvironment SystemPacEnvironment() { return Completed({}); }

TPacOutcome EvaluatePacScript(const std::string& script, const std::string& url, const std::string& host,
                              const TPacEnvironment& env, const TPacLimits& limits) {
  const TPacEnvironment complete = Completed(env);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return {std::nullopt, std::string("pipe: ") + std::strerror(errno)};

  const pid_t child = fork();
  if (child < 0) {
    const int error = errno;
    close(fds[0]);
    close(fds[1]);
    return {std::nullopt, std::string("fork: ") + std::strerror(error)};
  }
  if (child == 0) {
    close(fds[0]);
    tzset();  // the script's local time follows the current TZ
    const TPacOutcome outcome =
        RunPacScriptInThisProcess(script, url, host, complete, limits.MemoryLimit, /*exitOnFatal=*/true);
    _exit(WriteAll(fds[1], EncodeReport(outcome)) ? 0 : 1);
  }
  close(fds[1]);

  const auto deadline = std::chrono::steady_clock::now() + limits.TimeLimit;
  std::string report;
  bool timed_out = false;
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      break;
    }
    pollfd watch{fds[0], POLLIN, 0};
    const int ready = poll(&watch, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 60000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    if (ready == 0) continue;
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    report.append(buffer, static_cast<std::size_t>(n));
    if (report.size() > kMaxAnswer + 64) break;
  }
  close(fds[0]);
  if (timed_out || report.size() > kMaxAnswer + 64) kill(child, SIGKILL);
  Reap(child);
  if (timed_out) {
    return {std::nullopt, "the script ran longer than " + std::to_string(limits.TimeLimit.count()) + " ms"};
  }
  return DecodeReport(report);
}

}  // namespace orvane
