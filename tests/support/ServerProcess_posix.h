// Server programs the tests start on a loopback port (tinyproxy, squid): a
// port to give them, their output into a file, ready once they accept
// connections, stopped with SIGTERM and, after a grace period, SIGKILL.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace orvane::test {

inline sockaddr_in LoopbackAddress(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A port that was free a moment ago; the servers need a fixed one in their
// configuration, so a lost race is retried by the caller.
inline int FreeLoopbackPort() {
  int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) throw std::runtime_error("socket failed");
  sockaddr_in address = LoopbackAddress(0);
  socklen_t length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(s);
    throw std::runtime_error("cannot find a free loopback port");
  }
  close(s);
  return ntohs(address.sin_port);
}

inline bool AcceptsOnLoopback(int port) {
  int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  sockaddr_in address = LoopbackAddress(port);
  const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(s);
  return ok;
}

// Starts program with args (argv[0] is program), its standard output and
// error into the file output; throws when it cannot be started.
inline pid_t StartServerProcess(const char* program, const std::vector<std::string>& args,
                                const std::string& output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> argv{const_cast<char*>(program)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error(std::string("cannot start ") + program);
  return pid;
}

// Ends the server: SIGTERM, SIGKILL after grace; pid becomes -1.
inline void StopServerProcess(pid_t& pid, std::chrono::milliseconds grace, std::chrono::milliseconds poll) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + grace;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(poll);
  }
  pid = -1;
}

// True once the server accepts on port. False when it exited first (most
// likely the port was taken meanwhile; pid becomes -1) or did not accept
// within limit (it is then stopped).
inline bool WaitUntilServing(pid_t& pid, int port, std::chrono::milliseconds limit,
                             std::chrono::milliseconds poll) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (AcceptsOnLoopback(port)) return true;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      pid = -1;
      return false;
    }
    std::this_thread::sleep_for(poll);
  }
  StopServerProcess(pid, limit / 2, poll);
  return false;
}

}  // namespace orvane::test
