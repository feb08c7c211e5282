// PAC evaluation on POSIX with the duktape engine (paceval/PacEngine.cpp).
// The engine as packaged offers no way to interrupt a running script, so
// each evaluation runs in a separate evaluator program (orvane-pac-eval,
// beside the running executable) that talks to this process over a socket;
// when the time limit runs out the evaluator is killed. This also keeps a crash inside the engine
// away from the program, and lets the evaluator shut itself into a sandbox
// before it runs a script from the network. (On Windows WinHTTP evaluates the
// scripts.)
#include "net/PacScript.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

namespace orvane {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::optional<TAutoProxyResult> PacResultToAutoProxy(const std::string& result) {
  struct TEntry {
    std::string scheme;
    std::string address;
  };
  std::vector<TEntry> proxies;
  bool direct = false;

  std::stringstream entries(result);
  std::string entry;
  while (!direct && std::getline(entries, entry, ';')) {
    std::istringstream words(entry);
    std::string keyword;
    std::string address;
    std::string extra;
    if (!(words >> keyword)) continue;
    keyword = Lower(keyword);
    if (keyword == "direct") {
      direct = true;
      continue;
    }
    // SOCKS proxies cannot carry the HTTP request as it is made, so they
    // are passed over, as are keywords nobody knows.
    if (keyword != "proxy" && keyword != "http" && keyword != "https") continue;
    // "PROXY host:port" and nothing more. A proxy that is no plausible
    // address makes the whole answer a failed script: it would send the
    // download somewhere the script's author cannot have meant.
    if (!(words >> address) || (words >> extra) || !IsPlausibleProxyAddress(address)) return std::nullopt;
    proxies.push_back({keyword == "https" ? "https" : "http", address});
  }

  TAutoProxyResult auto_proxy;
  if (proxies.empty()) {
    if (!direct) return std::nullopt;
    auto_proxy.AccessType = kProxyAccessTypeNoProxy;
    return auto_proxy;
  }
  const bool with_schemes =
      std::any_of(proxies.begin(), proxies.end(), [](const TEntry& e) { return e.scheme != "http"; });
  auto_proxy.AccessType = kProxyAccessTypeNamedProxy;
  for (const TEntry& proxy : proxies) {
    if (!auto_proxy.Proxy.empty()) auto_proxy.Proxy += ';';
    if (with_schemes) auto_proxy.Proxy += proxy.scheme + "://";
    auto_proxy.Proxy += proxy.address;
  }
  return auto_proxy;
}

std::string PacHostOfUrl(const std::string& url) {
  CURLU* handle = curl_url();
  if (handle == nullptr) return {};
  std::string host;
  char* part = nullptr;
  if (curl_url_set(handle, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
      curl_url_get(handle, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
    host = part;
    curl_free(part);
  }
  curl_url_cleanup(handle);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  return Lower(host);
}

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

// The evaluator and this process talk over one socket in frames: one kind
// byte, the payload length as 20 decimal digits, then the payload.
//
//   to the evaluator:   'S' script, 'U' url, 'H' host, 'M' memory limit,
//                       'C' which environment calls it must ask back for
//                       (sum of kAsk* below), 'Z' time zone (the TZ value);
//                       then answers 'A' text / 'N' none
//   from the evaluator: 'D' host to resolve, 'I' own address, 'T' clock;
//                       finally 'R' result or 'E' error
//
// Environment calls the caller supplied are answered here, so that a test's
// resolver and clock work across the process boundary. The others are the
// evaluator's own, under its time limit: the clock inside the sandbox; name
// lookups and the own address, which need files and sockets the sandbox does
// not allow, in a resolver process the evaluator splits off before it enters
// the sandbox, asked over a socket pair with the same frames.
constexpr std::size_t kFrameHead = 21;
constexpr int kAskResolve = 1;
constexpr int kAskMyIp = 2;
constexpr int kAskNow = 4;

// The evaluator starts with an empty environment; it learns the time zone
// from the request. Without TZ the C library re-reads /etc/localtime on
// every local-time conversion (which the sandbox refuses), so an unset TZ is
// sent as the name of that file, which means the same.
constexpr char kSystemTimeZone[] = ":/etc/localtime";

std::string Frame(char kind, const std::string& payload) {
  char length[32];
  std::snprintf(length, sizeof length, "%020zu", payload.size());
  return std::string(1, kind) + length + payload;
}

// Takes the first complete frame off buffer. nullopt: not complete yet;
// error set: the stream is not made of frames (or a frame is too large).
struct TFrame {
  char kind = 0;
  std::string payload;
};
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

// Blocking read of one frame (evaluator side).
std::optional<TFrame> ReadFrame(int fd, std::string& buffer, std::size_t maxPayload) {
  char chunk[65536];
  for (;;) {
    bool error = false;
    if (std::optional<TFrame> frame = TakeFrame(buffer, maxPayload, error)) return frame;
    if (error) return std::nullopt;
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    buffer.append(chunk, static_cast<std::size_t>(n));
  }
}

// The evaluator's ends of the environment calls it asks back for. A broken
// connection ends the evaluator: its parent has given up on it.
struct TAskBack {
  int fd;
  std::string buffer;

  std::optional<std::string> Ask(char kind, const std::string& payload) {
    if (!WriteAll(fd, Frame(kind, payload))) _exit(4);
    std::optional<TFrame> answer = ReadFrame(fd, buffer, kMaxAnswer);
    if (!answer || (answer->kind != 'A' && answer->kind != 'N')) _exit(4);
    if (answer->kind == 'N') return std::nullopt;
    return std::move(answer->payload);
  }
};

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

std::string ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.parent_path().string();
}

int Reap(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return 0;
  }
  return status;
}

// Why an evaluator ended without an answer, in words for whoever reads the
// log aloud to a support desk.
std::string AbnormalEnd(int status) {
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS) {
    return "the proxy script was stopped because it tried something a proxy script is not allowed to do "
           "(the evaluator's sandbox blocked a system call)";
  }
  // SIGKILL is this process's own, after a broken or malformed stream.
  if (WIFSIGNALED(status) && WTERMSIG(status) != SIGKILL) {
    const char* name = sigdescr_np(WTERMSIG(status));
    return std::string("the script evaluator crashed (") + (name != nullptr ? name : "unknown signal") + ")";
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == kPacExitFatalEngineError) {
    return "the script engine stopped on an error it cannot recover from";
  }
  return "the evaluation ended abnormally";
}

// The resolver process of an evaluator: answers name lookups and the own
// address over fd until the evaluator closes its end or ends. It runs no
// script, only reads frames, and holds nothing of the program but its
// stderr; it needs the resolver's files and sockets, so it stays outside the
// sandbox, but it can neither gain privileges nor write files.
[[noreturn]] void RunResolver(int fd, pid_t evaluator) {
  if (prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) != 0 || getppid() != evaluator) _exit(0);
  prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
  const rlimit none{0, 0};
  setrlimit(RLIMIT_FSIZE, &none);
  setrlimit(RLIMIT_CORE, &none);
  const TPacEnvironment system = SystemPacEnvironment();
  std::string buffer;
  while (std::optional<TFrame> question = ReadFrame(fd, buffer, kMaxAnswer)) {
    if (question->kind != 'D' && question->kind != 'I') break;
    const std::optional<std::string> answer = AnswerAskBack(*question, system);
    if (!WriteAll(fd, answer ? Frame('A', *answer) : Frame('N', {}))) break;
  }
  _exit(0);
}

// Splits off the resolver process; returns the evaluator's end of the socket
// pair to it, or -1.
int StartResolver(int requestFd) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return -1;
  const pid_t evaluator = getpid();
  const pid_t resolver = fork();
  if (resolver == 0) {
    close(requestFd);
    close(ends[0]);
    RunResolver(ends[1], evaluator);
  }
  close(ends[1]);
  if (resolver < 0) {
    close(ends[0]);
    return -1;
  }
  return ends[0];
}

TPacOutcome Failed(std::string error) { return {std::nullopt, std::move(error)}; }

}  // namespace

TPacEnvironment SystemPacEnvironment() { return Completed({}); }

std::string PacEvaluatorPath() { return ProgramFolder() + "/" + kPacEvaluatorName; }

int RunPacEvaluator(int fd, const TPacConfine& confine, TPacEngine engine) {
  std::string buffer;
  std::string fields[6];
  const char kinds[] = {'S', 'U', 'H', 'M', 'C', 'Z'};
  for (int i = 0; i < 6; ++i) {
    std::optional<TFrame> frame = ReadFrame(fd, buffer, std::size_t{64} << 20);
    if (!frame || frame->kind != kinds[i]) return 2;
    fields[i] = std::move(frame->payload);
  }
  std::size_t memoryLimit = 0;
  int ask = 0;
  if (std::from_chars(fields[3].data(), fields[3].data() + fields[3].size(), memoryLimit).ec != std::errc() ||
      std::from_chars(fields[4].data(), fields[4].data() + fields[4].size(), ask).ec != std::errc()) {
    return 2;
  }

  // The zone is loaded now: the sandbox lets no file be opened later.
  setenv("TZ", fields[5].c_str(), 1);
  tzset();

  auto back = std::make_shared<TAskBack>(TAskBack{fd, std::move(buffer)});
  std::vector<int> channels{fd};
  std::shared_ptr<TAskBack> resolver;
  if ((ask & (kAskResolve | kAskMyIp)) != (kAskResolve | kAskMyIp)) {
    const int resolverFd = StartResolver(fd);
    if (resolverFd < 0) {
      return WriteAll(fd, Frame('E', std::string("cannot start the name resolver: ") + std::strerror(errno)))
                 ? 5
                 : 1;
    }
    resolver = std::make_shared<TAskBack>(TAskBack{resolverFd, {}});
    channels.push_back(resolverFd);
  }
  const std::shared_ptr<TAskBack>& resolve = (ask & kAskResolve) != 0 ? back : resolver;
  const std::shared_ptr<TAskBack>& myIp = (ask & kAskMyIp) != 0 ? back : resolver;
  TPacEnvironment env;
  env.ResolveIPv4 = [resolve](const std::string& host) { return resolve->Ask('D', host); };
  env.MyIpAddress = [myIp] { return myIp->Ask('I', {}).value_or("127.0.0.1"); };
  if ((ask & kAskNow) != 0) {
    env.NowMs = [back] {
      const std::string text = back->Ask('T', {}).value_or("0");
      std::int64_t ms = 0;
      std::from_chars(text.data(), text.data() + text.size(), ms);
      return ms;
    };
  }
  const std::string confined = confine(memoryLimit, channels);
  if (!confined.empty()) {
    return WriteAll(fd, Frame('E', "cannot confine the script evaluator: " + confined)) ? 5 : 1;
  }
  TPacOutcome outcome =
      engine(fields[0], fields[1], fields[2], Completed(env), memoryLimit, /*exitOnFatal=*/true);
  if (outcome.Result && outcome.Result->size() > kMaxAnswer) {
    outcome = Failed("FindProxyForURL returned an oversized answer");
  }
  const std::string report = outcome.Result ? Frame('R', *outcome.Result) : Frame('E', outcome.Error);
  return WriteAll(fd, report) ? 0 : 1;
}

TPacOutcome EvaluatePacScript(const std::string& script, const std::string& url, const std::string& host,
                              const TPacEnvironment& env, const TPacLimits& limits) {
  const TPacEnvironment complete = Completed(env);
  const int ask =
      (env.ResolveIPv4 ? kAskResolve : 0) | (env.MyIpAddress ? kAskMyIp : 0) | (env.NowMs ? kAskNow : 0);
  const std::string evaluator = PacEvaluatorPath();
  if (access(evaluator.c_str(), X_OK) != 0) {
    return Failed("the script evaluator " + evaluator + " is missing: " + std::strerror(errno));
  }

  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    return Failed(std::string("socketpair: ") + std::strerror(errno));
  }
  // A fresh program rather than a fork of this one: after fork a threaded
  // program may only make async-signal-safe calls, which an engine run is
  // not. The evaluator gets the socket as its standard input and nothing
  // else of this process: no other descriptor, no environment (the time zone
  // travels in the request).
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  sigaddset(&signals, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  char* argv[] = {const_cast<char*>(evaluator.c_str()), nullptr};
  char* noEnvironment[] = {nullptr};
  pid_t child = -1;
  const int spawned = posix_spawn(&child, evaluator.c_str(), &actions, &attributes, argv, noEnvironment);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (spawned != 0) {
    close(ends[0]);
    return Failed("cannot start the script evaluator " + evaluator + ": " + std::strerror(spawned));
  }
  const int fd = ends[0];
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);

  const char* timeZone = std::getenv("TZ");
  std::string out = Frame('S', script) + Frame('U', url) + Frame('H', host) +
                    Frame('M', std::to_string(limits.MemoryLimit)) + Frame('C', std::to_string(ask)) +
                    Frame('Z', timeZone != nullptr ? timeZone : kSystemTimeZone);
  std::size_t sent = 0;
  std::string in;
  std::optional<TPacOutcome> outcome;
  bool timed_out = false;
  const auto deadline = std::chrono::steady_clock::now() + limits.TimeLimit;
  char chunk[65536];
  while (!outcome) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      break;
    }
    pollfd watch{fd, static_cast<short>(POLLIN | (sent < out.size() ? POLLOUT : 0)), 0};
    const int ready = poll(&watch, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 60000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    if (ready == 0) continue;
    if ((watch.revents & POLLOUT) != 0) {
      const ssize_t n = send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno != EINTR && errno != EAGAIN) break;
      if (n > 0) sent += static_cast<std::size_t>(n);
    }
    if ((watch.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) break;
    in.append(chunk, static_cast<std::size_t>(n));
    bool error = false;
    while (std::optional<TFrame> frame = TakeFrame(in, kMaxAnswer, error)) {
      if (frame->kind == 'R') {
        outcome = TPacOutcome{std::move(frame->payload), {}};
        break;
      }
      if (frame->kind == 'E') {
        outcome = Failed(std::move(frame->payload));
        break;
      }
      const std::optional<std::string> answer = AnswerAskBack(*frame, complete);
      out += answer ? Frame('A', *answer) : Frame('N', {});
    }
    if (error) break;
  }
  close(fd);
  // Whatever ended the wait (the answer, the time limit, a broken or
  // malformed stream), the evaluator is not needed any more: one that is
  // still running would otherwise keep the reap below waiting for ever.
  kill(child, SIGKILL);
  const int status = Reap(child);
  if (outcome) return *outcome;
  if (timed_out) {
    return Failed("the script ran longer than " + std::to_string(limits.TimeLimit.count()) + " ms");
  }
  return Failed(AbnormalEnd(status));
}

}  // namespace orvane
