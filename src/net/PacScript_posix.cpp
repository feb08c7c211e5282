// PAC evaluation on POSIX with the duktape engine (paceval/PacEngine.cpp).
// The engine as packaged offers no way to interrupt a running script, so
// each evaluation runs in a separate evaluator program (orvane-pac-eval,
// beside the running executable) that talks to this process over a socket;
// when the time limit runs out the evaluator is killed. This also keeps a
// crash inside the engine away from the program, and lets the evaluator shut
// itself into a sandbox before it runs a script from the network. (On
// Windows WinHTTP evaluates the scripts.)
//
// This is the program's side: it maps a script's answer to a proxy, starts an
// evaluator for each script, feeds it the request and answers its questions
// until the result comes or the time runs out. The evaluator's side is
// PacEvaluator_posix.cpp, the frames between them PacChannel_posix.cpp.
#include "net/PacScript.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include "net/PacChannel.h"

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

// The frames and the environment answers shared with the evaluator.
using namespace pac;

// The evaluator starts with an empty environment; it learns the time zone
// from the request. Without TZ the C library re-reads /etc/localtime on
// every local-time conversion (which the sandbox refuses), so an unset TZ is
// sent as the name of that file, which means the same.
constexpr char kSystemTimeZone[] = ":/etc/localtime";

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

}  // namespace

std::string PacEvaluatorPath() { return ProgramFolder() + "/" + kPacEvaluatorName; }

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
