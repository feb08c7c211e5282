// The workflow against real Windows processes: a copy of the stand-in
// program runs as TeamViewer.exe, and QuickSupport, served by the download
// server, is the stand-in too.
//
// First: the download server's header brings winsock2.h, which must come
// before windows.h.
#include "app/LaunchWorkflowsFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/WindowsTestSupport_win.h"
#include "system/ProcessHelper.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using namespace test;
using testing::IsEmpty;

TEST_F(LaunchWorkflows, RealWrongTeamViewerIsStoppedAndQuickSupportStarted) {
  // The workflow stops whatever runs under that name.
  if (orvane::GetPidByExeName("TeamViewer.exe") != 0) GTEST_SKIP() << "a TeamViewer.exe runs on this machine";
  const fs::path exe = running / "TeamViewer.exe";
  fs::copy_file(StandInProgram(), exe);
  // Waits 60 s unless stopped; its version is given by VersionOverride.
  TStartedProcess teamViewer(exe);

  // QuickSupport notes its arguments, then ends.
  const std::string standIn = ReadFileBytes(StandInProgram());
  Publish(kQuickSupport, standIn);
  const fs::path started = dir / "quicksupport-args.txt";
  const ScopedEnv out("ORVANE_STANDIN_OUT", started.string());
  const ScopedEnv seconds("ORVANE_STANDIN_SECONDS", "0");

  VersionOverride real;
  real.folder = dir.path().string() + "\\";
  form.reset();
  TMainFormOptions options;
  options.DownloadBaseUrl = server.Url("");
  options.Arguments = std::vector<std::string>{(dir / "OrvaneSupport.exe").string(), "--quiet"};
  options.LaunchSystem = &real;
  form = std::make_unique<TMainForm>(view, std::move(options));
  Configure({"teamviewer", "remotely_x86", "remotely_x64", "remotely_install"},
            {{"teamviewer", Sha(standIn)}});

  Press("teamviewer");

  EXPECT_THAT(BoxTexts(view, FakeMainFormView::BoxKind::Error), IsEmpty());
  // Killed: TerminateProcess's exit code 0, not the 3 it ends with itself.
  EXPECT_EQ(teamViewer.Wait(), 0u);
  // QuickSupport was fetched afresh and really started, without parameters.
  ASSERT_TRUE(WaitForFile(started));
  EXPECT_THAT(ReadLines(started), IsEmpty());
  EXPECT_EQ(ReadFileBytes(dir / kQuickSupport), standIn);
  EXPECT_TRUE(view.closed);
  // Ended before its folder is removed.
  EXPECT_TRUE(WaitForNoProcess(kQuickSupport));
}

}  // namespace
}  // namespace orvane
