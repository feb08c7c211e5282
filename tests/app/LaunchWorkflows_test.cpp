// The start button's workflows and the TeamViewer version check, driven
// through a scripted window and a scripted process and shell layer, with
// real files, real checksums, real PE version resources and a real download
// server on 127.0.0.1. One test at the end uses real processes.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/ConfigFile.h"
#include "app/MainForm.h"
#include "app/RealLaunchSystem.h"
#include "app/RemoteSupportConfig.h"
#include "logging/Logging.h"
#include "support/FakeMainFormView.h"
#include "support/LoopbackHttpServer.h"
#include "support/PeBuilder.h"
#include "support/RecordingLogControl.h"
#include "support/TestSupport.h"
#include "system/ProcessHelper.h"
#include "system/SHA256.h"
#include "system/SysUtils.h"

extern char** environ;

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::FakeMainFormView;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::StartsWith;

constexpr char kQuickSupport[] = "TeamViewerQS.exe";
constexpr char kX64[] = "Remotely_Desktop-[a735]_x64.exe";
constexpr char kX86[] = "Remotely_Desktop-[a735]_x86.exe";
constexpr char kInstaller[] = "Remotely_Install-[a735].exe";
constexpr char kInstallArgs[] =
    R"(-install -quiet -organizationid "4c1e9b07-72fd-4e58-b0a3-19d6f2e8a4c5" -serverurl "https://remotely.test")";
constexpr std::uint32_t kTeamViewerPid = 4242;

constexpr char kCheckIntegrity[] = "Check File Integriy. This will take some time...";
constexpr char kX64StartMessage[] =
    "Remotely x64 will start now\r\nif a warning pops up, allow execution to continue\r\n"
    "Share your Session ID when asked";

// Processes and the shell, scripted; versions come from real files through
// the real PE reader.
class FakeLaunchSystem : public ILaunchSystem {
 public:
  struct Process {
    std::uint32_t pid;
    std::string exeName;
    std::string imagePath;
    bool pathReadable = true;
  };

  std::vector<Process> processes;
  std::string programFolder;
  // "kill <pid>" and "start <file> [<params>]", in order.
  std::vector<std::string> events;
  // SHA-256 of each started file at the moment it was started.
  std::vector<std::string> startedChecksums;

  std::uint32_t GetPidByExeName(const std::string& exeName) override {
    for (const Process& p : processes)
      if (p.exeName == exeName) return p.pid;
    return 0;
  }
  std::string GetProcessImagePath(std::uint32_t pid) override {
    for (const Process& p : processes) {
      if (p.pid == pid && p.pathReadable) return p.imagePath;
      if (p.pid == pid)
        throw std::runtime_error("Process " + std::to_string(pid) + ": Permission denied (error 13)");
    }
    throw std::runtime_error("Process " + std::to_string(pid) + ": No such process (error 3)");
  }
  bool KillProcess(std::uint32_t pid) override {
    events.push_back("kill " + std::to_string(pid));
    return true;
  }
  std::string GetFileVersionNumbers(const std::string& file, int& major, int& minor, int& release,
                                    int& build) override {
    return orvane::GetFileVersionNumbers(file, major, minor, release, build);
  }
  void ShellOpen(const std::string& file, const std::string& params) override {
    events.push_back("start " + file + (params.empty() ? "" : " " + params));
    startedChecksums.push_back(fs::exists(file) ? GetFileSHA256(file) : "");
  }
  std::string GetProgramFolder() override { return programFolder; }
};

// The genuine tools are small scripts that note their start next to them.
std::string Genuine(const std::string& file) {
  return "#!/bin/sh\n# genuine " + file + "\necho \"$@\" >'" + file + ".started'\n";
}
constexpr char kCorrupt[] = "#!/bin/sh\n# tampered with\n";

// ShowStatus texts in order, without the download's progress texts.
std::vector<std::string> StatusTexts(const FakeMainFormView& view) {
  std::vector<std::string> texts;
  for (const std::string& s : view.statusHistory)
    if (s.rfind("Downloading ", 0) != 0 || s.find(".exe: ") == std::string::npos) texts.push_back(s);
  return texts;
}

std::vector<std::string> BoxTexts(const FakeMainFormView& view, FakeMainFormView::BoxKind kind) {
  std::vector<std::string> texts;
  for (const FakeMainFormView::Box& b : view.boxes)
    if (b.kind == kind) texts.push_back(b.text);
  return texts;
}

bool IsSubsequence(const std::vector<std::string>& all, const std::vector<std::string>& wanted) {
  auto it = all.begin();
  for (const std::string& w : wanted) {
    it = std::find(it, all.end(), w);
    if (it == all.end()) return false;
    ++it;
  }
  return true;
}

class LaunchWorkflows : public testing::Test {
 protected:
  LaunchWorkflows() {
    launch.programFolder = dir.path().string() + "/";
    for (const char* file : {kQuickSupport, kX64, kX86, kInstaller}) Publish(file, Genuine(file));
    server.ServeFolder(served.path());
    server.Start();
  }

  void Publish(const std::string& file, const std::string& bytes) {
    test::WriteFileBytes(served / file, bytes);
  }
  static std::string Sha(const std::string& bytes) {
    test::TempDir scratch;
    test::WriteFileBytes(scratch / "f", bytes);
    return GetFileSHA256((scratch / "f").string());
  }
  static std::string GenuineSha(const std::string& file) { return Sha(Genuine(file)); }

  // The four options as the server publishes them, or those of them that
  // names lists; then the window loads them.
  void Configure(std::vector<std::string> names = {"teamviewer", "remotely_x86", "remotely_x64",
                                                   "remotely_install"},
                 const std::string& teamViewerSha = "") {
    std::vector<TRemoteSupportItem> items;
    for (const std::string& name : names) {
      const std::string file = name == "teamviewer"     ? kQuickSupport
                               : name == "remotely_x64" ? kX64
                               : name == "remotely_x86" ? kX86
                                                        : kInstaller;
      std::string sha = GenuineSha(file);
      if (name == "teamviewer" && !teamViewerSha.empty()) sha = teamViewerSha;
      items.emplace_back(name, file, server.Url("/" + file), sha,
                         name == "remotely_install" ? kInstallArgs : "");
    }
    WriteConfigFile(kConfigFileName, TRemoteSupportConfig(std::move(items), 0));
    Form().ReloadConfig();
  }

  TMainForm& Form() {
    if (!form) {
      TMainFormOptions options;
      options.DownloadBaseUrl = server.Url("");
      options.Arguments = std::vector<std::string>{(dir / "OrvaneSupport").string(), "--quiet"};
      options.LaunchSystem = &launch;
      form = std::make_unique<TMainForm>(view, std::move(options));
    }
    return *form;
  }

  void Press(const std::string& name) {
    view.optionText = name;
    Form().Click(TControlId::btnShutdown);
  }

  // A running TeamViewer.exe whose executable carries the given major
  // version (-1: a file without a readable version).
  void RunTeamViewer(int major, const std::string& exeName = "TeamViewer.exe") {
    const fs::path exe = running / exeName;
    if (major < 0)
      test::WriteFileBytes(exe, "not a Windows program");
    else
      test::WritePeFile(exe, {.fileVersion = {static_cast<std::uint16_t>(major), 2, 7, 1}});
    launch.processes.push_back({kTeamViewerPid, exeName, exe.string()});
  }

  std::string LocalBytes(const std::string& file) const { return test::ReadFileBytes(dir / file); }
  std::string InFolder(const std::string& file) const { return launch.programFolder + file; }

  test::TempDir dir;
  test::ScopedCwd cwd{dir.path()};
  test::TempDir running;
  test::TempDir served;
  test::LoopbackHttpServer server;
  FakeMainFormView view;
  FakeLaunchSystem launch;
  std::unique_ptr<TMainForm> form;
};

// --- TeamViewer version check ---

TEST_F(LaunchWorkflows, VersionCheckSetsTheFourFlags) {
  enum Local { Absent, Same, UpperCaseConfigured, Different };
  struct Case {
    const char* what;
    int running;  // major version; 0: none running; -1: version unreadable
    Local local;
    bool kill, force, need, correct;
    const char* exeName = "TeamViewer.exe";
  };
  const Case cases[] = {
      {"nothing running, file valid", 0, Same, false, false, false, false},
      {"nothing running, checksum differs in case only", 0, UpperCaseConfigured, false, true, true, false},
      {"nothing running, file differs", 0, Different, false, true, true, false},
      {"nothing running, no file", 0, Absent, false, false, true, false},
      {"version 12 reused, file not examined", 12, Different, false, false, false, true},
      {"unreadable version counts as acceptable", -1, Different, false, false, false, true},
      {"version 13 is too new", 13, Absent, true, true, true, false},
      {"version 15, file valid", 15, Same, true, true, false, false},
      {"version 15, file differs", 15, Different, true, true, true, false},
      {"version 15, no file", 15, Absent, true, true, true, false},
      {"other letter case is not TeamViewer", 15, Same, false, false, false, false, "teamviewer.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    launch.processes.clear();
    if (c.running != 0) RunTeamViewer(c.running, c.exeName);
    fs::remove(dir / kQuickSupport);
    if (c.local != Absent)
      test::WriteFileBytes(dir / kQuickSupport, c.local == Different ? kCorrupt : Genuine(kQuickSupport));
    std::string configured = GenuineSha(kQuickSupport);
    if (c.local == UpperCaseConfigured)
      std::transform(configured.begin(), configured.end(), configured.begin(), ::toupper);
    Configure({"teamviewer"}, configured);
    Form().mustkillProcess = Form().forceDownloadTeamviewer = Form().needDownloadTeamViewer =
        Form().foundCorrectTeamviewer = true;
    view.heights.clear();

    Form().CheckTeamViewerVersion();

    EXPECT_EQ(Form().mustkillProcess, c.kill);
    EXPECT_EQ(Form().forceDownloadTeamviewer, c.force);
    EXPECT_EQ(Form().needDownloadTeamViewer, c.need);
    EXPECT_EQ(Form().foundCorrectTeamviewer, c.correct);
    EXPECT_THAT(view.heights, ElementsAre(190));
  }
  EXPECT_THAT(launch.events, IsEmpty());
}

TEST_F(LaunchWorkflows, VersionCheckErrorsEndItWithTheFlagsClear) {
  struct Case {
    const char* what;
    bool pathReadable;
    bool withOption;
    const char* error;
  };
  const Case cases[] = {
      {"running TeamViewer's path unreadable", false, true, "Permission denied"},
      {"no option to compare the file with", true, false,
       "No remote support option named \"teamviewer\" in the configuration."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    launch.processes.clear();
    if (!c.pathReadable) {
      RunTeamViewer(15);
      launch.processes.back().pathReadable = false;
    }
    test::WriteFileBytes(dir / kQuickSupport, Genuine(kQuickSupport));
    Configure(c.withOption ? std::vector<std::string>{"teamviewer"}
                           : std::vector<std::string>{"remotely_x64"});
    Form().mustkillProcess = Form().forceDownloadTeamviewer = Form().needDownloadTeamViewer =
        Form().foundCorrectTeamviewer = true;

    try {
      Form().CheckTeamViewerVersion();
      ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
      EXPECT_THAT(e.what(), HasSubstr(c.error));
    }
    EXPECT_FALSE(Form().mustkillProcess || Form().forceDownloadTeamviewer || Form().needDownloadTeamViewer ||
                 Form().foundCorrectTeamviewer);
  }
  // Without a file there is nothing to compare, so no option is needed.
  launch.processes.clear();
  fs::remove(dir / kQuickSupport);
  Form().CheckTeamViewerVersion();
  EXPECT_TRUE(Form().needDownloadTeamViewer);
}

// --- TeamViewer workflow ---

TEST_F(LaunchWorkflows, TeamViewerWorkflow) {
  enum Local { Absent, Valid, Corrupt };
  enum Served { Good, Bad, Missing };
  enum Started { Nothing, QuickSupport, RunningTeamViewer };
  struct Case {
    const char* what;
    int running;  // major version, 0: none
    Local local;
    Served served;
    std::size_t downloads;
    bool killed;
    Started started;
    const char* error;  // "" none
  };
  const Case cases[] = {
      {"valid file is started as it is", 0, Valid, Good, 0, false, QuickSupport, ""},
      {"corrupt file is downloaded again", 0, Corrupt, Good, 1, false, QuickSupport, ""},
      {"missing file is downloaded", 0, Absent, Good, 1, false, QuickSupport, ""},
      {"too new TeamViewer is stopped, QuickSupport fetched afresh", 15, Valid, Good, 1, true, QuickSupport,
       ""},
      {"old TeamViewer is brought to the front", 12, Corrupt, Good, 0, false, RunningTeamViewer, ""},
      {"download with a wrong checksum stops everything", 15, Valid, Bad, 1, false, Nothing,
       "Hash of downloaded Executable does not match the original file!"},
      {"failed download ends the press", 0, Absent, Missing, 1, false, Nothing, kQuickSupport},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    launch.processes.clear();
    launch.events.clear();
    launch.startedChecksums.clear();
    view.boxes.clear();
    view.closed = false;
    if (c.running != 0) RunTeamViewer(c.running);
    fs::remove(dir / kQuickSupport);
    if (c.local != Absent)
      test::WriteFileBytes(dir / kQuickSupport, c.local == Valid ? Genuine(kQuickSupport) : kCorrupt);
    fs::remove(served / kQuickSupport);
    if (c.served != Missing) Publish(kQuickSupport, c.served == Good ? Genuine(kQuickSupport) : kCorrupt);
    Configure();
    const std::size_t requestsBefore = server.RequestCount();

    Press("teamviewer");

    EXPECT_EQ(server.RequestCount() - requestsBefore, c.downloads);
    std::vector<std::string> events;
    if (c.killed) events.push_back("kill " + std::to_string(kTeamViewerPid));
    if (c.started == QuickSupport) events.push_back("start " + InFolder(kQuickSupport));
    if (c.started == RunningTeamViewer) events.push_back("start " + (running / "TeamViewer.exe").string());
    EXPECT_EQ(launch.events, events);
    if (c.started == QuickSupport) {
      EXPECT_THAT(launch.startedChecksums, ElementsAre(GenuineSha(kQuickSupport)));
    }
    const bool started = c.started != Nothing;
    EXPECT_EQ(IsSubsequence(view.MessageTexts(), {"TeamViewer will start now"}), started);
    if (*c.error) {
      EXPECT_THAT(BoxTexts(view, FakeMainFormView::BoxKind::Error), ElementsAre(HasSubstr(c.error)));
    } else {
      EXPECT_THAT(BoxTexts(view, FakeMainFormView::BoxKind::Error), IsEmpty());
    }
    EXPECT_EQ(view.closed, started);
    if (c.served == Bad) {
      EXPECT_EQ(LocalBytes(kQuickSupport), kCorrupt);  // the downloaded file stays
    }
  }
}

TEST_F(LaunchWorkflows, TeamViewerStatusAndDebugLines) {
  // Debug output mirrored into a list, as a window's log control would show it.
  TLogSettings settings;
  settings.AlwaysShowDebug = true;
  settings.MemoNumRows = 1000;
  test::ScopedRecordingLogger log(settings);
  const auto& memo = log.control;

  RunTeamViewer(15);
  test::WriteFileBytes(dir / kQuickSupport, Genuine(kQuickSupport));
  Configure();
  Press("teamviewer");

  std::vector<std::string> debug;
  for (auto it = memo->lines.rbegin(); it != memo->lines.rend(); ++it)
    if (it->rfind("(Debug        ): ", 0) == 0) debug.push_back(it->substr(17));
  const std::string qs = InFolder(kQuickSupport);
  EXPECT_TRUE(IsSubsequence(
      debug,
      {"Current Folder: " + launch.programFolder, "Start TeamViewer Version Check",
       "Get PID of running Teamviewer: 4242", "Found PID, get Path:" + (running / "TeamViewer.exe").string(),
       "Get Version of running TV: 15.2.7", "Newer version found -> kill it!",
       "Check if TV Executable already exists in path: " + qs, "checksum test passed",
       "TV Executable path: " + qs, "Get PID from running Teamviewer: 4242", "Need to download Teamviewer",
       "Finished download", "Checksum test passed - continue", "Kill existing Process", "Start it",
       "Exit self"}))
      << testing::PrintToString(debug);
  EXPECT_EQ(
      StatusTexts(view),
      (std::vector<std::string>{"Downloading Teamviewer from Orvane", "Download Successful",
                                "Killing wrong Teamviewer Version process", "Starting Teamviewer process"}));
}

// --- Remotely workflows ---

TEST_F(LaunchWorkflows, RemotelyCorruptFileIsReplacedVerifiedAndStarted) {
  struct Case {
    const char* name;
    const char* file;
    bool mismatchBox;
    const char* downloadStatus;  // null: none
    const char* startStatus;
    const char* startMessage;
    const char* params;
  };
  const Case cases[] = {
      {"remotely_x64", kX64, false, "Downloading Remotely x64 Client", "Starting Remotely x64 process",
       kX64StartMessage, ""},
      {"remotely_x86", kX86, true, "Downloading Remotely x86 Client", "Starting Remotely x86 process",
       "Remotely x86 will start now\r\nif a warning pops up, allow execution to continue\r\n"
       "Share your Session ID when asked",
       ""},
      {"remotely_install", kInstaller, true, nullptr, "Starting Remotely Persistent Client Installation",
       "Remotely Persistent Client Installation will start now\r\nif a warning pops up, allow execution to "
       "continue\r\n\r\nFor the Installation Administrative Privileges are required!",
       kInstallArgs},
  };
  Configure();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.boxes.clear();
    view.statusHistory.clear();
    launch.events.clear();
    launch.startedChecksums.clear();
    view.closed = false;
    test::WriteFileBytes(dir / c.file, kCorrupt);
    const std::size_t requestsBefore = server.RequestCount();

    Press(c.name);

    EXPECT_EQ(server.RequestCount() - requestsBefore, 1u);
    std::vector<std::string> status = {kCheckIntegrity, "Checksum invalid, force re-download..."};
    if (c.downloadStatus) status.push_back(c.downloadStatus);
    status.insert(status.end(), {"Download finished", kCheckIntegrity, c.startStatus});
    EXPECT_EQ(StatusTexts(view), status);
    // The download's progress reached the status bar in between.
    EXPECT_THAT(view.statusHistory, Contains(StartsWith("Downloading " + std::string(c.file) + ": ")));
    std::vector<std::string> boxes;
    if (c.mismatchBox) boxes.push_back("Expected: " + GenuineSha(c.file) + "\r\nActual: " + Sha(kCorrupt));
    boxes.push_back(c.startMessage);
    EXPECT_EQ(view.MessageTexts(), boxes);
    EXPECT_THAT(launch.events, ElementsAre("start " + InFolder(c.file) + (*c.params ? " " : "") + c.params));
    EXPECT_THAT(launch.startedChecksums, ElementsAre(GenuineSha(c.file)));
    EXPECT_EQ(LocalBytes(c.file), Genuine(c.file));
    EXPECT_TRUE(view.closed);
  }
}

TEST_F(LaunchWorkflows, ValidFileStartsWithoutDownloadAndAutoCloseDecidesTheEnd) {
  Configure();
  test::WriteFileBytes(dir / kX64, Genuine(kX64));

  Press("remotely_x64");
  EXPECT_EQ(server.RequestCount(), 0u);
  EXPECT_EQ(StatusTexts(view), (std::vector<std::string>{kCheckIntegrity, "Starting Remotely x64 process"}));
  EXPECT_THAT(view.MessageTexts(), ElementsAre(kX64StartMessage));
  EXPECT_THAT(launch.events, ElementsAre("start " + InFolder(kX64)));
  EXPECT_TRUE(view.closed);

  // Cleared: the window stays and keeps the start status.
  view.closed = false;
  view.checked[TControlId::cbAutoClose] = false;
  Press("remotely_x64");
  EXPECT_EQ(launch.events.size(), 2u);
  EXPECT_FALSE(view.closed);
  EXPECT_EQ(view.status, "Starting Remotely x64 process");
}

TEST_F(LaunchWorkflows, FailedDownloadStartsNothingAndKeepsTheWindowOpen) {
  Configure();
  fs::remove(served / kX86);
  test::WriteFileBytes(dir / kX86, kCorrupt);

  Press("remotely_x86");

  EXPECT_EQ(server.RequestCount(), 1u);
  // The checksum box, then the download's own report; no start message.
  EXPECT_THAT(view.MessageTexts(),
              ElementsAre(HasSubstr("Expected: "), "Download Failed with Status Code: 404"));
  EXPECT_THAT(launch.events, IsEmpty());
  EXPECT_FALSE(view.closed);
  EXPECT_EQ(view.status, "Download failed, nothing started");
  EXPECT_FALSE(fs::exists(dir / kX86));
}

TEST_F(LaunchWorkflows, DownloadWithWrongChecksumIsAnErrorAndKeepsTheFile) {
  Configure();
  Publish(kX64, kCorrupt);

  Press("remotely_x64");

  EXPECT_THAT(BoxTexts(view, FakeMainFormView::BoxKind::Error),
              ElementsAre("Download not successful, checksum invalid!\r\nExp SHA256: " + GenuineSha(kX64) +
                          " \r\nAct SHA256: " + Sha(kCorrupt)));
  EXPECT_THAT(StatusTexts(view), ElementsAre("Downloading Remotely x64 Client", "Download finished",
                                             kCheckIntegrity, "Checksum invalid, give up..."));
  EXPECT_THAT(view.MessageTexts(), testing::Not(testing::Contains(kX64StartMessage)));
  EXPECT_THAT(launch.events, IsEmpty());
  EXPECT_FALSE(view.closed);
  EXPECT_EQ(LocalBytes(kX64), kCorrupt);
}

TEST_F(LaunchWorkflows, FileCheckedInTheWorkingDirectoryIsTheOneStarted) {
  // Started from elsewhere: the program folder holds an unchecked file of
  // the same name.
  test::TempDir programFolder;
  launch.programFolder = programFolder.path().string() + "/";
  test::WriteFileBytes(programFolder / kX64, kCorrupt);
  Configure();

  Press("remotely_x64");

  EXPECT_THAT(launch.events, ElementsAre("start " + (dir / kX64).string()));
  EXPECT_THAT(launch.startedChecksums, ElementsAre(GenuineSha(kX64)));
}

// --- names ---

TEST_F(LaunchWorkflows, UnknownNamesRunNothingButAutoCloseStillApplies) {
  Configure();
  for (const char* name : {"TeamViewer", "REMOTELY_X64", "remotely_x64 ", "", "cbVersion"}) {
    SCOPED_TRACE(name);
    view.closed = false;
    Press(name);
    EXPECT_TRUE(view.closed);
  }
  EXPECT_THAT(view.boxes, IsEmpty());
  EXPECT_THAT(launch.events, IsEmpty());
  EXPECT_EQ(server.RequestCount(), 0u);
  EXPECT_THAT(view.heights, IsEmpty());  // the version check did not run
}

TEST_F(LaunchWorkflows, KnownNameWithoutOptionIsAnErrorAndStartsNothing) {
  const char* names[] = {"teamviewer", "remotely_x64", "remotely_x86", "remotely_install"};
  for (const bool anyConfig : {false, true}) {
    // Without any configuration (nothing loaded), or with one that offers
    // a different option only.
    if (anyConfig) Configure({"unrelated"});
    for (const char* name : names) {
      SCOPED_TRACE(std::string(name) + (anyConfig ? " (other options)" : " (no configuration)"));
      view.boxes.clear();
      Press(name);
      EXPECT_THAT(view.boxes,
                  ElementsAre(FakeMainFormView::Box{
                      FakeMainFormView::BoxKind::Error,
                      "No remote support option named \"" + std::string(name) + "\" in the configuration."}));
    }
  }
  EXPECT_THAT(launch.events, IsEmpty());
  EXPECT_EQ(server.RequestCount(), 0u);
  EXPECT_FALSE(view.closed);
}

// --- real processes ---

// The real process lookup, termination and start, with the running
// program's version given by the test (a Linux program carries none).
class VersionOverride : public TRealLaunchSystem {
 public:
  std::string folder;
  std::string GetFileVersionNumbers(const std::string&, int& major, int& minor, int& release,
                                    int& build) override {
    major = 15;
    minor = release = build = 0;
    return {};
  }
  std::string GetProgramFolder() override { return folder; }
};

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
