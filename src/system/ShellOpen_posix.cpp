// Opening a file on Linux. What happens depends on the file's first bytes:
//
// - native executable (ELF) or script ("#!"): started directly with the
//   parameters split by the Windows command-line rules; a file that lacks
//   its owner's execute permission (a fresh download) gets it first;
// - Windows executable ("MZ"): started through wine, found on PATH, with
//   the same split parameters; without wine the start fails;
// - anything else (documents, folders): handed to xdg-open, which takes no
//   arguments for the file, so the parameters are not passed on.
//
// The program is started detached by a double fork: the intermediate child
// starts a new session, forks the program and exits at once, so the program
// is adopted by init (never our zombie, not tied to our terminal or session)
// and outlives us. Its standard input is /dev/null, every other descriptor
// we hold beyond stdout and stderr is closed on exec, and its signal mask
// and dispositions are reset. A close-on-exec pipe carries a failed exec's
// errno back to us.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "system/DebugHook.h"
#include "system/OSFunctions.h"
#include "system/ShellOpen.h"
#include "system/WindowsCommandLine.h"

namespace orvane {
namespace {

enum class TFileKind { Native, Windows, Other };

TFileKind KindOf(const std::string& file, const struct stat& st) {
  if (!S_ISREG(st.st_mode)) return TFileKind::Other;
  char head[4] = {};
  ssize_t n = -1;
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    n = read(fd, head, sizeof head);
    close(fd);
  }
  // An execute-only file cannot be looked into; the system may still run it.
  if (n < 0) return (st.st_mode & S_IXUSR) != 0 ? TFileKind::Native : TFileKind::Other;
  const std::string_view magic(head, static_cast<size_t>(n));
  if (magic == "\177ELF" || magic.starts_with("#!")) return TFileKind::Native;
  if (magic.starts_with("MZ")) return TFileKind::Windows;
  return TFileKind::Other;
}

// Full path of an executable found on PATH (an empty entry is the working
// directory), or empty.
std::string FindOnPath(const std::string& program) {
  const char* env = std::getenv("PATH");
  const std::string path = (env != nullptr && *env != '\0') ? env : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  for (;;) {
    const size_t end = path.find(':', start);
    const std::string dir = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    if (end == std::string::npos) return {};
    start = end + 1;
  }
}

[[noreturn]] void ReportAndExit(int errorFd, int error) {
  const ssize_t ignored = write(errorFd, &error, sizeof error);
  (void)ignored;
  _exit(127);
}

// Runs in the forked children of a possibly multi-threaded process: only
// async-signal-safe calls from here on.
[[noreturn]] void RunDetached(char* const argv[], int errorFd, int maxFd) {
  if (setsid() < 0) ReportAndExit(errorFd, errno);
  const pid_t pid = fork();
  if (pid < 0) ReportAndExit(errorFd, errno);
  if (pid > 0) _exit(0);

  const int nullFd = open("/dev/null", O_RDONLY);
  if (nullFd < 0) ReportAndExit(errorFd, errno);
  if (nullFd != STDIN_FILENO) {
    if (dup2(nullFd, STDIN_FILENO) < 0) ReportAndExit(errorFd, errno);
    close(nullFd);
  }

  struct sigaction byDefault = {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &byDefault, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);

  if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
    for (int fd = 3; fd < maxFd; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
  }

  execve(argv[0], argv, environ);
  ReportAndExit(errorFd, errno);
}

// Starts args[0] detached; 0 or the errno of the failure.
int StartDetached(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const long openMax = sysconf(_SC_OPEN_MAX);
  const int maxFd = openMax > 0 && openMax < 65536 ? static_cast<int>(openMax) : 65536;

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return errno;
  // Keep the error pipe clear of the standard descriptors the child replaces.
  for (int& fd : pipeFds) {
    if (fd <= STDERR_FILENO) {
      const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
      close(fd);
      fd = moved;
    }
  }
  if (pipeFds[0] < 0 || pipeFds[1] < 0) {
    const int error = errno;
    for (const int fd : pipeFds)
      if (fd >= 0) close(fd);
    return error;
  }

  const pid_t middle = fork();
  if (middle < 0) {
    const int error = errno;
    close(pipeFds[0]);
    close(pipeFds[1]);
    return error;
  }
  if (middle == 0) {
    close(pipeFds[0]);
    RunDetached(argv.data(), pipeFds[1], maxFd);
  }
  close(pipeFds[1]);

  int childError = 0;
  ssize_t got;
  do {
    got = read(pipeFds[0], &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  const int readError = errno;
  close(pipeFds[0]);

  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  if (got == static_cast<ssize_t>(sizeof childError)) return childError;
  if (got < 0) return readError;
  // End of file without a report: the exec succeeded, unless the
  // intermediate child died before it could fork.
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : ECHILD;
}

std::string Describe(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) text += (text.empty() ? "\"" : " \"") + arg + "\"";
  return text;
}

bool Fail(const std::string& file, const std::string& why) {
  SystemDebugFmt("ShellOpen \"%s\" failed: %s", file, why);
  return false;
}

}  // namespace

bool ShellOpen(const std::string& file, const std::string& parameters) {
  struct stat st;
  if (stat(file.c_str(), &st) != 0) return Fail(file, SystemErrorMessage(errno));

  std::vector<std::string> args;
  bool passParameters = true;
  switch (KindOf(file, st)) {
    case TFileKind::Native:
      if ((st.st_mode & S_IXUSR) == 0 && chmod(file.c_str(), (st.st_mode & 07777) | S_IXUSR) != 0)
        SystemDebugFmt("ShellOpen \"%s\": cannot make it executable: %s", file, SystemErrorMessage(errno));
      args = {file};
      break;
    case TFileKind::Windows: {
      const std::string wine = FindOnPath("wine");
      if (wine.empty()) return Fail(file, "a Windows program needs wine, which is not installed");
      args = {wine, file};
      break;
    }
    case TFileKind::Other: {
      const std::string opener = FindOnPath("xdg-open");
      if (opener.empty()) return Fail(file, "xdg-open is not installed");
      if (!parameters.empty()) SystemDebugFmt("ShellOpen \"%s\": parameters not passed to xdg-open", file);
      args = {opener, file};
      passParameters = false;
      break;
    }
  }
  if (passParameters) {
    for (std::string& arg : SplitWindowsCommandLine(parameters)) args.push_back(std::move(arg));
  }

  const int error = StartDetached(args);
  if (error != 0) return Fail(file, SystemErrorMessage(error));
  SystemDebugFmt("ShellOpen started %s", Describe(args));
  return true;
}

}  // namespace orvane
