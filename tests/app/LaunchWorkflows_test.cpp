// The start button's workflows and the TeamViewer version check, driven
// through a scripted window and a scripted process and shell layer, with
// real files, real checksums, real PE version resources and a real download
// server on 127.0.0.1 (LaunchWorkflowsFixture.h). The workflow against real
// processes is in the platform files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "app/LaunchWorkflowsFixture.h"
#include "logging/Logging.h"
#include "support/RecordingLogControl.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using namespace test;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::StartsWith;

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
    Configure({"teamviewer"}, {{"teamviewer", configured}});
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
      {"failed download ends the press", 0, Absent, Missing, 1, false, Nothing, ""},
      {"failed forced download keeps the file and stops nothing", 15, Valid, Missing, 1, false, Nothing, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    launch.processes.clear();
    launch.events.clear();
    launch.startedChecksums.clear();
    view.boxes.clear();
    view.statusHistory.clear();
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
    if (c.served == Missing) {
      EXPECT_THAT(view.MessageTexts(),
                  ElementsAre("Download Failed with Status Code: 404\r\nThe server answered 404 Not Found."));
      EXPECT_EQ(view.status, "Download failed, nothing started");
      EXPECT_THAT(view.statusHistory, testing::Not(Contains("Download Successful")));
      EXPECT_EQ(fs::exists(dir / kQuickSupport), c.local != Absent);
      if (c.local == Valid) {
        EXPECT_EQ(LocalBytes(kQuickSupport), Genuine(kQuickSupport));
      }
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
              ElementsAre(HasSubstr("Expected: "),
                          "Download Failed with Status Code: 404\r\nThe server answered 404 Not Found."));
  EXPECT_THAT(launch.events, IsEmpty());
  EXPECT_FALSE(view.closed);
  EXPECT_EQ(view.status, "Download failed, nothing started");
  EXPECT_THAT(view.statusHistory, testing::Not(Contains("Download finished")));
  EXPECT_EQ(LocalBytes(kX86), kCorrupt);  // kept until a new file arrives
}

TEST_F(LaunchWorkflows, CancelledDownloadKeepsTheOldFileAndStartsNothing) {
  struct Case {
    const char* name;
    const char* file;
    int running;  // a TeamViewer 15 forces QuickSupport to be fetched afresh
  };
  for (const Case& c : {Case{"remotely_x64", kX64, 0}, Case{"teamviewer", kQuickSupport, 15}}) {
    SCOPED_TRACE(c.name);
    launch.processes.clear();
    if (c.running) RunTeamViewer(c.running);
    test::WriteFileBytes(dir / c.file, kCorrupt);
    Configure();
    view = FakeMainFormView{};
    bool cancelShown = false;
    // Escape (or the Cancel button) while the transfer lets events through.
    view.onPump = [&] {
      if (!view.cancelVisible) return;
      cancelShown = true;
      Form().CancelDownload();
    };
    Press(c.name);

    EXPECT_TRUE(cancelShown);
    EXPECT_FALSE(view.cancelVisible);
    EXPECT_EQ(view.status, "Download cancelled");
    EXPECT_THAT(view.statusHistory, testing::Not(Contains("Download finished")));
    EXPECT_THAT(view.boxes, IsEmpty());
    EXPECT_THAT(launch.events, IsEmpty());  // nothing stopped or started
    EXPECT_FALSE(view.closed);
    EXPECT_EQ(LocalBytes(c.file), kCorrupt);
    for (const auto& entry : fs::directory_iterator(dir.path()))  // no temporary file left
      EXPECT_THAT(entry.path().filename().string(), testing::AnyOf(kX64, kQuickSupport, kConfigFileName));
  }
}

TEST_F(LaunchWorkflows, DownloadWithWrongChecksumIsAnErrorAndKeepsTheFile) {
  constexpr char kWebPage[] =
      "\r\nThe server sent a web page instead of the program. A proxy or a sign-in page may be in the way.";
  struct Case {
    const char* served;
    bool webPage;
  };
  for (const Case& c :
       {Case{kCorrupt, false}, Case{"\r\n  <!DOCTYPE html><html><body>Sign in</body></html>", true},
        Case{"<HTML><body>Proxy error</body></HTML>", true}, Case{"<?xml version=\"1.0\"?><html/>", true},
        Case{"MZ<html>", false}}) {
    SCOPED_TRACE(c.served);
    fs::remove(dir / kX64);
    Configure();
    Publish(kX64, c.served);
    view = FakeMainFormView{};

    Press("remotely_x64");

    EXPECT_THAT(BoxTexts(view, FakeMainFormView::BoxKind::Error),
                ElementsAre("Download not successful, checksum invalid!\r\nExp SHA256: " + GenuineSha(kX64) +
                            " \r\nAct SHA256: " + Sha(c.served) + (c.webPage ? kWebPage : "")));
    EXPECT_THAT(StatusTexts(view), ElementsAre("Downloading Remotely x64 Client", "Download finished",
                                               kCheckIntegrity, "Checksum invalid, give up..."));
    EXPECT_THAT(view.MessageTexts(), testing::Not(testing::Contains(kX64StartMessage)));
    EXPECT_THAT(launch.events, IsEmpty());
    EXPECT_FALSE(view.closed);
    EXPECT_EQ(LocalBytes(kX64), c.served);
  }
}

TEST_F(LaunchWorkflows, RemotelyChecksumInOtherLetterCaseDoesNotPass) {
  std::string upper = GenuineSha(kX64);
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  Configure({"remotely_x64"}, {{"remotely_x64", upper}});
  test::WriteFileBytes(dir / kX64, Genuine(kX64));

  Press("remotely_x64");

  EXPECT_EQ(server.RequestCount(), 1u);  // the local file did not pass either
  EXPECT_THAT(BoxTexts(view, FakeMainFormView::BoxKind::Error),
              ElementsAre(StartsWith("Download not successful, checksum invalid!")));
  EXPECT_THAT(launch.events, IsEmpty());
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

// Started means checked: while the "will start now" box waits for OK,
// another program is put at the tool's path. What starts is still the file
// that was checked (on POSIX the rename succeeds and the start goes through
// the held descriptor; on Windows the held file cannot be replaced at all).
TEST_F(LaunchWorkflows, ProgramPutInPlaceAfterTheCheckIsNotWhatStarts) {
  struct Case {
    const char* name;
    const char* file;
    const char* local;  // null: none
    const char* startMessage;
  };
  const Case cases[] = {
      {"remotely_x64", kX64, "genuine", kX64StartMessage},
      {"remotely_x64", kX64, kCorrupt, kX64StartMessage},  // checked after its download
      {"teamviewer", kQuickSupport, "genuine", "TeamViewer will start now"},
      {"teamviewer", kQuickSupport, nullptr, "TeamViewer will start now"},
  };
  Configure();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + (c.local ? c.local : "absent"));
    launch.events.clear();
    launch.startedChecksums.clear();
    fs::remove(dir / c.file);
    if (c.local)
      test::WriteFileBytes(dir / c.file, std::string(c.local) == "genuine" ? Genuine(c.file) : c.local);
    view.onBox = [&](const FakeMainFormView::Box& box) {
      if (box.text != c.startMessage) return;
      test::WriteFileBytes(dir / "planted", kCorrupt);
      std::error_code ec;
      fs::rename(dir / "planted", dir / c.file, ec);
    };

    Press(c.name);

    view.onBox = nullptr;
    EXPECT_THAT(launch.events, ElementsAre("start " + InFolder(c.file)));
    EXPECT_THAT(launch.startedChecksums, ElementsAre(GenuineSha(c.file)));
    EXPECT_THAT(BoxTexts(view, FakeMainFormView::BoxKind::Error), IsEmpty());
  }
}

// --- names ---

TEST_F(LaunchWorkflows, UnknownNamesStartNothingAndSaySo) {
  const std::string noList =
      "No remote support options are loaded, so nothing can be started.\r\n"
      "Press the download button to fetch the option list again.";
  // The design-time text with no list loaded (the load failed), then typed
  // names beside a loaded list.
  Press("cbVersion");
  Configure();
  for (const char* name : {"TeamViewer", "remotely_x64 ", "", "cbVersion", "x\r\n(Fehler): forged"})
    Press(name);

  EXPECT_THAT(
      view.boxes,
      ElementsAre(
          FakeMainFormView::Box{FakeMainFormView::BoxKind::Message, noList},
          FakeMainFormView::Box{FakeMainFormView::BoxKind::Message,
                                "\"TeamViewer\" is not a remote support option this assistant "
                                "can start.\r\nPlease choose one from the list."},
          testing::Field(&FakeMainFormView::Box::text, StartsWith("\"remotely_x64 \" is not")),
          testing::Field(&FakeMainFormView::Box::text, StartsWith("No remote support option is chosen.")),
          testing::Field(&FakeMainFormView::Box::text, StartsWith("\"cbVersion\" is not")),
          // A name from the list cannot break the box's lines.
          testing::Field(&FakeMainFormView::Box::text, StartsWith("\"x\\r\\n(Fehler): forged\" is not"))));
  EXPECT_FALSE(view.closed);  // "Auto Close When Done" is ticked
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

}  // namespace
}  // namespace orvane
