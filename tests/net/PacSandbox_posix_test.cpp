#include "net/paceval/PacSandbox.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>

namespace orvane {
namespace {

struct TChildEnd {
  bool confined = false;  // the child got into the sandbox
  int status = 0;         // its wait status
};

// Runs attempt in a forked child that has entered the sandbox with one
// channel, the way the evaluator does before it runs a script.
TChildEnd RunConfined(const std::function<void()>& attempt) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    if (!EnterPacSandbox(std::size_t{64} << 20, {ends[1]}).empty()) _exit(100);
    const char confined = 'S';
    if (write(ends[1], &confined, 1) != 1) _exit(101);
    attempt();
    _exit(0);
  }
  close(ends[1]);
  TChildEnd end;
  char got = 0;
  end.confined = read(ends[0], &got, 1) == 1 && got == 'S';
  close(ends[0]);
  waitpid(child, &end.status, 0);
  return end;
}

TEST(PacSandbox, AnythingButComputingAnAnswerKillsTheProcess) {
  const std::string created = ::testing::TempDir() + "pac-sandbox-created";
  const std::pair<const char*, std::function<void()>> attempts[] = {
      {"open a file", [] { close(open("/etc/passwd", O_RDONLY)); }},
      {"create a file", [&created] { close(open(created.c_str(), O_WRONLY | O_CREAT, 0600)); }},
      {"open a socket", [] { close(socket(AF_INET, SOCK_STREAM, 0)); }},
      {"start a program",
       [] {
         char* argv[] = {const_cast<char*>("/bin/true"), nullptr};
         char* envp[] = {nullptr};
         execve(argv[0], argv, envp);
       }},
      {"start a process",
       [] {
         if (fork() == 0) _exit(0);
       }},
      {"map executable memory",
       [] {
         if (mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) != MAP_FAILED)
           _exit(3);
       }},
      {"read a descriptor that is not a channel",
       [] {
         char c;
         if (read(STDIN_FILENO, &c, 1) >= 0) _exit(3);
       }},
      {"signal another process",
       [] {
         if (kill(getppid(), 0) == 0) _exit(3);
       }},
  };
  for (const auto& [what, attempt] : attempts) {
    const TChildEnd end = RunConfined(attempt);
    EXPECT_TRUE(end.confined) << what;
    EXPECT_TRUE(WIFSIGNALED(end.status) && WTERMSIG(end.status) == SIGSYS)
        << what << ": status " << end.status;
  }
  EXPECT_NE(access(created.c_str(), F_OK), 0);
}

TEST(PacSandbox, WhatAScriptNeedsStillWorks) {
  const TChildEnd end = RunConfined([] {
    // Memory well beyond a page, the clock, error output.
    const std::size_t size = std::size_t{32} << 20;
    auto* block = static_cast<char*>(std::malloc(size));
    if (block == nullptr) _exit(1);
    std::memset(block, 'x', size);
    std::free(block);
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0 || time(nullptr) <= 0) _exit(2);
  });
  EXPECT_TRUE(end.confined);
  EXPECT_TRUE(WIFEXITED(end.status) && WEXITSTATUS(end.status) == 0) << "status " << end.status;
}

}  // namespace
}  // namespace orvane
