// The start button's workflows under test: a scripted window, a scripted
// process and shell layer (FakeLaunchSystem), real files and checksums, and
// a real download server on 127.0.0.1 serving the genuine tools.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/ConfigFile.h"
#include "app/MainForm.h"
#include "app/RealLaunchSystem.h"
#include "app/RemoteSupportConfig.h"
#include "support/FakeMainFormView.h"
#include "support/LoopbackHttpServer.h"
#include "support/PeBuilder.h"
#include "support/TestSupport.h"
#include "system/SHA256.h"
#include "system/SysUtils.h"

namespace orvane::test {

namespace fs = std::filesystem;

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
// the real PE reader. The shortcut installer's services stay the real ones.
class FakeLaunchSystem : public TRealLaunchSystem {
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
  // SHA-256 of the bytes each start started.
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
  // A checked file starts from the bytes of the open file, whatever its
  // path names by now.
  void ShellOpenChecked(const TCheckedFile& file, const std::string& params) override {
    events.push_back("start " + file.Path() + (params.empty() ? "" : " " + params));
    startedChecksums.push_back(file.SHA256());
  }
  std::string GetProgramFolder() override { return programFolder; }
};

// The genuine tools are small scripts that note their start next to them.
inline std::string Genuine(const std::string& file) {
  return "#!/bin/sh\n# genuine " + file + "\necho \"$@\" >'" + file + ".started'\n";
}
constexpr char kCorrupt[] = "#!/bin/sh\n# tampered with\n";

// ShowStatus texts in order, without the download's progress texts.
inline std::vector<std::string> StatusTexts(const FakeMainFormView& view) {
  std::vector<std::string> texts;
  for (const std::string& s : view.statusHistory)
    if (s.rfind("Downloading ", 0) != 0 || s.find(".exe: ") == std::string::npos) texts.push_back(s);
  return texts;
}

inline std::vector<std::string> BoxTexts(const FakeMainFormView& view, FakeMainFormView::BoxKind kind) {
  std::vector<std::string> texts;
  for (const FakeMainFormView::Box& b : view.boxes)
    if (b.kind == kind) texts.push_back(b.text);
  return texts;
}

inline bool IsSubsequence(const std::vector<std::string>& all, const std::vector<std::string>& wanted) {
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
  // names lists, with the configured checksums of shas in place of the
  // genuine ones; then the window loads them.
  void Configure(std::vector<std::string> names = {"teamviewer", "remotely_x86", "remotely_x64",
                                                   "remotely_install"},
                 const std::map<std::string, std::string>& shas = {}) {
    std::vector<TRemoteSupportItem> items;
    for (const std::string& name : names) {
      const std::string file = name == "teamviewer"     ? kQuickSupport
                               : name == "remotely_x64" ? kX64
                               : name == "remotely_x86" ? kX86
                                                        : kInstaller;
      const auto configured = shas.find(name);
      const std::string sha = configured != shas.end() ? configured->second : GenuineSha(file);
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

}  // namespace orvane::test
