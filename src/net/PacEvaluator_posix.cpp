// The evaluator program's side of PAC evaluation (orvane-pac-eval): reads
// the request from its socket, splits off the resolver process, confines
// itself and runs the script with the engine it was given, asking back over
// the socket for the environment calls the caller supplied. The program never
// runs this code, it only starts the evaluator (PacScript_posix.cpp); it is a
// unit of its own so that the two sides of the socket read apart.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "net/PacChannel.h"
#include "net/PacScript.h"

namespace orvane {

namespace {

// The frames and the environment answers shared with the program.
using namespace pac;

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

}  // namespace

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

}  // namespace orvane
