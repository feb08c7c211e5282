// The workflow against a real running program on Linux.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/LaunchWorkflowsFixture.h"
#include "system/ProcessHelper.h"

extern char** environ;

namespace orvane {
namespace {

namespace fs = std::filesystem;
using namespace test;
using testing::IsEmpty;

TEST_F(LaunchWorkflows, RealWrongTeamViewerIsStoppedAndQuickSupportStarted) {
  // The workflow stops whatever runs under that name.
  if (orvane::GetPidByExeName("TeamViewer.exe") != 0) GTEST_SKIP() << "a TeamViewer.exe runs on this machine";
  // A long-running program whose executable is named TeamViewer.exe.
  const fs::path exe = running / "TeamViewer.exe";
  fs::copy_file("/bin/sleep", exe);
  fs::permissions(exe, fs::perms::owner_exec, fs::perm_options::add);
  const std::string exePath = exe.string();
  char* argv[] = {const_cast<char*>(exePath.c_str()), const_cast<char*>("120"), nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, exePath.c_str(), nullptr, nullptr, argv, environ), 0);
  struct Reap {
    pid_t pid;
    int status = 0;
    bool reaped = false;
    ~Reap() {
      if (!reaped) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
      }
    }
  } reap{child};
  // posix_spawn returns before the exec is certain; wait for the new name.
  const fs::path link = "/proc/" + std::to_string(child) + "/exe";
  std::error_code ec;
  for (int i = 0; i < 500 && fs::read_symlink(link, ec) != exe; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));

  VersionOverride real;
  real.folder = launch.programFolder;
  form.reset();
  TMainFormOptions options;
  options.Arguments = std::vector<std::string>{(dir / "OrvaneSupport").string(), "--quiet"};
  options.LaunchSystem = &real;
  form = std::make_unique<TMainForm>(view, std::move(options));
  Configure();

  Press("teamviewer");

  EXPECT_THAT(BoxTexts(view, FakeMainFormView::BoxKind::Error), IsEmpty());
  ASSERT_EQ(waitpid(child, &reap.status, 0), child);
  reap.reaped = true;
  EXPECT_TRUE(WIFSIGNALED(reap.status) && WTERMSIG(reap.status) == SIGKILL);
  // QuickSupport (a script here) was fetched afresh and really started.
  const fs::path marker = dir / (std::string(kQuickSupport) + ".started");
  for (int i = 0; i < 500 && !fs::exists(marker); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(fs::exists(marker));
  EXPECT_TRUE(view.closed);
}

}  // namespace
}  // namespace orvane
