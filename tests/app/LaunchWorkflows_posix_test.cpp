// The workflow against a real running program on Linux.
#include <spawn.h>
#include <sys/stat.h>
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
using testing::AllOf;
using testing::ElementsAre;
using testing::EndsWith;
using testing::IsEmpty;
using testing::StartsWith;

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

// The real start on Linux: the tool is checked, a planted script is renamed
// over it while the "will start now" box waits, and the genuine tool is the
// one that runs. A fresh download is a program only its owner may change.
TEST_F(LaunchWorkflows, RealStartRunsTheCheckedToolNotOnePutInItsPlace) {
  VersionOverride real;
  real.folder = launch.programFolder;
  form.reset();
  TMainFormOptions options;
  options.DownloadBaseUrl = server.Url("");
  options.Arguments = std::vector<std::string>{(dir / "OrvaneSupport").string(), "--quiet"};
  options.LaunchSystem = &real;
  form = std::make_unique<TMainForm>(view, std::move(options));
  Configure();
  const mode_t mask = umask(022);
  const fs::path planted = dir / "planted ran";
  view.onBox = [&](const FakeMainFormView::Box& box) {
    if (box.text != kX64StartMessage) return;
    WriteFileBytes(dir / "planted", "#!/bin/sh\n: > '" + planted.string() + "'\n");
    fs::permissions(dir / "planted", fs::perms(0755));
    fs::rename(dir / "planted", dir / kX64);
  };

  Press("remotely_x64");

  umask(mask);
  EXPECT_THAT(BoxTexts(view, FakeMainFormView::BoxKind::Error), IsEmpty());
  const fs::path marker = dir / (std::string(kX64) + ".started");
  for (int i = 0; i < 500 && !fs::exists(marker); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(fs::exists(marker));
  EXPECT_FALSE(fs::exists(planted));
  EXPECT_TRUE(view.closed);
}

TEST_F(LaunchWorkflows, ToolOthersCouldChangeIsRefusedAndNothingStarts) {
  Configure();
  struct Case {
    const char* what;
    bool link;
    fs::perms mode;
    const char* reason;
  };
  const Case cases[] = {
      {"a link to a genuine copy", true, fs::perms(0755), "it is a link to another file"},
      {"group-writable", false, fs::perms(0775), "other users of this computer may change it"},
      {"writable by all", false, fs::perms(0666), "other users of this computer may change it"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir / kX64);
    view.boxes.clear();
    view.closed = false;
    if (c.link) {
      WriteFileBytes(running / kX64, Genuine(kX64));
      fs::permissions(running / kX64, c.mode);
      fs::create_symlink(running / kX64, dir / kX64);
    } else {
      WriteFileBytes(dir / kX64, Genuine(kX64));
      fs::permissions(dir / kX64, c.mode);
    }

    Press("remotely_x64");

    EXPECT_THAT(
        BoxTexts(view, FakeMainFormView::BoxKind::Error),
        ElementsAre(AllOf(StartsWith("The file \"" + InFolder(kX64) + "\" is not started: " + c.reason),
                          EndsWith("\r\nDelete it and download it again."))));
    EXPECT_THAT(launch.events, IsEmpty());
    EXPECT_FALSE(view.closed);
  }
  EXPECT_EQ(server.RequestCount(), 0u);
  // Deleted, it is downloaded afresh, only its owner may change it, and it
  // starts.
  fs::remove(dir / kX64);
  const mode_t mask = umask(0);
  Press("remotely_x64");
  umask(mask);
  EXPECT_EQ(fs::status(dir / kX64).permissions(), fs::perms(0755));
  EXPECT_THAT(launch.events, ElementsAre("start " + InFolder(kX64)));
}

}  // namespace
}  // namespace orvane
