#include "system/ProcessHelper.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "system/OSError.h"
#include "system/OSFunctions.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

// Copies of sleep under chosen names, started with "<name> 30"; whatever is
// still running at the end is killed and reaped.
class TRunningCopies {
 public:
  ~TRunningCopies() {
    for (const pid_t pid : pids_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  pid_t Start(const fs::path& exe) {
    fs::create_directories(exe.parent_path());
    fs::copy_file("/bin/sleep", exe);
    std::string arg0 = exe.filename().string(), seconds = "30";
    char* argv[] = {arg0.data(), seconds.data(), nullptr};
    pid_t pid = 0;
    // glibc's posix_spawn returns once the child has executed the program.
    EXPECT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ), 0);
    pids_.push_back(pid);
    return pid;
  }

  // Started as another user (needs root); returns once the program runs.
  pid_t StartAs(const fs::path& exe, uid_t uid, gid_t gid) {
    fs::create_directories(exe.parent_path());
    fs::copy_file("/bin/sleep", exe);
    std::string arg0 = exe.filename().string(), seconds = "30";
    char* argv[] = {arg0.data(), seconds.data(), nullptr};
    // A close-on-exec pipe: nothing read means the program was executed.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
      int error = 0;
      if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) error = errno;
      if (error == 0) {
        execv(exe.c_str(), argv);
        error = errno;
      }
      (void)!write(report[1], &error, sizeof error);
      _exit(127);
    }
    close(report[1]);
    int error = 0;
    const bool failed = pid > 0 && read(report[0], &error, sizeof error) > 0;
    close(report[0]);
    if (pid < 0) return -1;
    pids_.push_back(pid);
    EXPECT_FALSE(failed) << "starting as user " << uid << ": " << SystemErrorMessage(error);
    return pid;
  }

  // Reaps a process this test has stopped; returns its wait status.
  int Reap(pid_t pid) {
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    std::erase(pids_, pid);
    return status;
  }

 private:
  std::vector<pid_t> pids_;
};

// Names unique to this test process, so that programs started by other test
// runs on the same machine cannot be mistaken for ours.
std::string UpperName() { return "TeamViewer-" + std::to_string(getpid()) + ".exe"; }
std::string LowerName() { return "teamviewer-" + std::to_string(getpid()) + ".exe"; }

TEST(ProcessHelper, FindsTheFirstExactNameAndItsPath) {
  test::TempDir dir;
  TRunningCopies copies;
  const pid_t lower = copies.Start(dir / "lower" / LowerName());
  const pid_t first = copies.Start(dir / "a" / UpperName());
  const pid_t second = copies.Start(dir / "b" / UpperName());
  const pid_t expected = std::min(first, second);

  EXPECT_EQ(GetPidByExeName(UpperName()), static_cast<uint32_t>(expected));
  EXPECT_EQ(GetPidByExeName(LowerName()), static_cast<uint32_t>(lower));
  EXPECT_EQ(GetPidByExeName("TEAMVIEWER-" + std::to_string(getpid()) + ".EXE"), 0u);
  EXPECT_EQ(GetPidByExeName("no-such-program-" + std::to_string(getpid())), 0u);
  EXPECT_EQ(GetPidByExeName(""), 0u);

  const fs::path expectedPath = dir / (expected == first ? "a" : "b") / UpperName();
  EXPECT_EQ(GetProcessImagePath(static_cast<uint32_t>(expected)), fs::canonical(expectedPath).string());
}

// Another user's program of that name (on a shared machine) is passed over:
// it is none of ours to inspect, start again or stop.
TEST(ProcessHelper, ProcessesOfOtherUsersAreNotFound) {
  const passwd* nobody = getpwnam("nobody");
  if (geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "starting a process as user nobody needs root";
  test::TempDir dir;
  // The other user must reach its copy.
  chmod(dir.path().c_str(), 0755);
  TRunningCopies copies;
  const pid_t other = copies.StartAs(dir / "other" / UpperName(), nobody->pw_uid, nobody->pw_gid);
  ASSERT_GT(other, 0);
  struct stat st;
  ASSERT_EQ(stat(("/proc/" + std::to_string(other)).c_str(), &st), 0);
  ASSERT_EQ(st.st_uid, nobody->pw_uid);

  EXPECT_EQ(GetPidByExeName(UpperName()), 0u);
  // Ours is found even where the other one comes first in the list.
  const pid_t own = copies.Start(dir / "own" / UpperName());
  EXPECT_EQ(GetPidByExeName(UpperName()), static_cast<uint32_t>(own));
}

TEST(ProcessHelper, KillsAndThenReportsTheProcessAsGone) {
  test::TempDir dir;
  TRunningCopies copies;
  const pid_t pid = copies.Start(dir / UpperName());

  EXPECT_TRUE(KillProcess(static_cast<uint32_t>(pid)));
  const int status = copies.Reap(pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);

  EXPECT_EQ(GetPidByExeName(UpperName()), 0u);
  EXPECT_FALSE(KillProcess(static_cast<uint32_t>(pid)));
  try {
    GetProcessImagePath(static_cast<uint32_t>(pid));
    ADD_FAILURE() << "no error for a process that has ended";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), ESRCH);
    EXPECT_EQ(std::string(e.what()), "Process " + std::to_string(pid) + ": " + SystemErrorMessage(ESRCH) +
                                         " (error " + std::to_string(ESRCH) + ")");
  }
}

// A program replaced or removed while it runs (as an update does) keeps its
// name and the path it was started from.
TEST(ProcessHelper, RemovedExecutableKeepsNameAndPath) {
  test::TempDir dir;
  TRunningCopies copies;
  const fs::path exe = dir / UpperName();
  const pid_t pid = copies.Start(exe);
  const std::string path = fs::canonical(exe).string();
  fs::remove(exe);

  EXPECT_EQ(GetPidByExeName(UpperName()), static_cast<uint32_t>(pid));
  EXPECT_EQ(GetProcessImagePath(static_cast<uint32_t>(pid)), path);
}

}  // namespace
}  // namespace orvane
