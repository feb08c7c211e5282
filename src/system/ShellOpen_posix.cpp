// Opening a file on Linux. What happens depends on the file's first bytes:
//
// - native executable (ELF) or script ("#!"): started directly with the
//   parameters split by the Windows command-line rules; a file that lacks
//   its owner's execute permission gets it first;
// - Windows executable ("MZ"): started through wine, found on PATH, with
//   the same split parameters; without wine the start fails;
// - anything else (documents, folders): handed to xdg-open, which takes no
//   arguments for the file, so the parameters are not passed on.
//
// A checked file (ShellOpenChecked) is a native program started through its
// held descriptor (fexecve), so that what runs is the file that was hashed
// whatever has been put at its path since; wine and xdg-open open files by
// name only, so they get the path once it still names the held file.
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

#include "system/CheckedFile.h"
#include "system/DebugHook.h"
#include "system/OSFunctions.h"
#include "system/ShellOpen.h"
#include "system/WindowsCommandLine.h"

namespace orvane {
namespace {

enum class TFileKind { Native, Windows, Other };

TFileKind KindOfHead(std::string_view magic) {
  if (magic == "\177ELF" || magic.starts_with("#!")) return TFileKind::Native;
  if (magic.starts_with("MZ")) return TFileKind::Windows;
  return TFileKind::Other;
}

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
  return KindOfHead(std::string_view(head, static_cast<size_t>(n)));
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

// What to run: argv[0] by its path, or the program behind execFd (argv[0]
// then only names it). keepExecFd leaves that descriptor open in the
// program, for a script whose interpreter reads it through /dev/fd.
struct TExec {
  int execFd = -1;
  bool keepExecFd = false;
};

// Runs in the forked children of a possibly multi-threaded process: only
// async-signal-safe calls from here on.
[[noreturn]] void RunDetached(char* const argv[], TExec exec, int errorFd, int maxFd) {
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

  if (exec.execFd < 0) {
    execve(argv[0], argv, environ);
  } else {
    if (exec.keepExecFd) fcntl(exec.execFd, F_SETFD, 0);
    fexecve(exec.execFd, argv, environ);
  }
  ReportAndExit(errorFd, errno);
}

// Starts args[0] (or exec's descriptor) detached; 0 or the errno of the
// failure.
int StartDetached(const std::vector<std::string>& args, TExec exec = {}) {
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
    RunDetached(argv.data(), exec, pipeFds[1], maxFd);
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

// The program that opens files of this kind for us, as the first
// arguments; empty when it is not installed (the start then fails with why).
std::vector<std::string> OpenerFor(const std::string& file, TFileKind kind, std::string& why) {
  const char* name = kind == TFileKind::Windows ? "wine" : "xdg-open";
  const std::string opener = FindOnPath(name);
  if (opener.empty()) {
    why = kind == TFileKind::Windows ? "a Windows program needs wine, which is not installed"
                                     : "xdg-open is not installed";
    return {};
  }
  return {opener, file};
}

void AddParameters(std::vector<std::string>& args, const std::string& parameters) {
  for (std::string& arg : SplitWindowsCommandLine(parameters)) args.push_back(std::move(arg));
}

bool Started(const std::string& file, const std::vector<std::string>& args, TExec exec = {}) {
  const int error = StartDetached(args, exec);
  if (error != 0) return Fail(file, SystemErrorMessage(error));
  SystemDebugFmt("ShellOpen started %s", Describe(args));
  return true;
}

// The parameters go to the program or its opener; xdg-open takes none.
void PassParameters(const std::string& file, TFileKind kind, const std::string& parameters,
                    std::vector<std::string>& args) {
  if (kind == TFileKind::Other) {
    if (!parameters.empty()) SystemDebugFmt("ShellOpen \"%s\": parameters not passed to xdg-open", file);
  } else {
    AddParameters(args, parameters);
  }
}

}  // namespace

bool ShellOpen(const std::string& file, const std::string& parameters) {
  struct stat st;
  if (stat(file.c_str(), &st) != 0) return Fail(file, SystemErrorMessage(errno));

  std::vector<std::string> args;
  const TFileKind kind = KindOf(file, st);
  if (kind == TFileKind::Native) {
    if ((st.st_mode & S_IXUSR) == 0 && chmod(file.c_str(), (st.st_mode & 07777) | S_IXUSR) != 0)
      SystemDebugFmt("ShellOpen \"%s\": cannot make it executable: %s", file, SystemErrorMessage(errno));
    args = {file};
  } else {
    std::string why;
    args = OpenerFor(file, kind, why);
    if (args.empty()) return Fail(file, why);
  }
  PassParameters(file, kind, parameters, args);
  return Started(file, args);
}

bool ShellOpenChecked(const TCheckedFile& checked, const std::string& parameters) {
  const std::string& file = checked.Path();
  const int fd = static_cast<int>(checked.Native());
  struct stat st;
  if (fstat(fd, &st) != 0) return Fail(file, SystemErrorMessage(errno));
  char head[4] = {};
  const ssize_t n = pread(fd, head, sizeof head, 0);
  if (n < 0) return Fail(file, SystemErrorMessage(errno));
  const TFileKind kind = KindOfHead(std::string_view(head, static_cast<size_t>(n)));

  std::vector<std::string> args;
  TExec exec;
  if (kind == TFileKind::Native) {
    // Started through the descriptor: the program is the file that was
    // checked, whatever has been put at its path since. A script's
    // interpreter is handed /dev/fd/N, so the descriptor stays open there.
    if ((st.st_mode & S_IXUSR) == 0 && fchmod(fd, (st.st_mode & 07777) | S_IXUSR) != 0)
      SystemDebugFmt("ShellOpen \"%s\": cannot make it executable: %s", file, SystemErrorMessage(errno));
    args = {file};
    exec = {fd, std::string_view(head, static_cast<size_t>(n)).starts_with("#!")};
  } else {
    // wine and xdg-open open the file by its name and cannot be handed a
    // descriptor (wine refuses /proc/self/fd paths), so the path must still
    // name the checked file. Only its owner can change that file; whoever
    // may write the folder could still swap the name in the instant between
    // this test and the opener's own open.
    struct stat atPath;
    if (stat(file.c_str(), &atPath) != 0) return Fail(file, SystemErrorMessage(errno));
    if (atPath.st_dev != st.st_dev || atPath.st_ino != st.st_ino)
      return Fail(file, "the file at this path is no longer the one that was checked");
    std::string why;
    args = OpenerFor(file, kind, why);
    if (args.empty()) return Fail(file, why);
  }
  PassParameters(file, kind, parameters, args);
  return Started(file, args, exec);
}

}  // namespace orvane
