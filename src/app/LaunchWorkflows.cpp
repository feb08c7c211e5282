// Start button of the assistant window: the four launch workflows, and the
// check of a running TeamViewer that the TeamViewer workflow acts on.
//
// Every workflow makes sure its executable is present and carries the
// configured SHA-256 (downloading it when needed), then starts it through the
// shell. Errors are raised and end the press; the guarded runner shows them.
#include <fmt/format.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "app/MainForm.h"
#include "app/RemoteSupportConfig.h"
#include "logging/Logging.h"
#include "system/SHA256.h"

namespace orvane {

namespace {

constexpr char kTeamViewerOption[] = "teamviewer";
constexpr char kTeamViewerProcess[] = "TeamViewer.exe";
constexpr char kQuickSupportFile[] = "TeamViewerQS.exe";
constexpr char kCheckIntegrityStatus[] = "Check File Integriy. This will take some time...";

// The three Remotely workflows differ only in these texts and choices.
struct TRemotelyWorkflow {
  const char* OptionName;
  const char* FileName;
  bool ShowChecksumMismatch;   // message box with both checksums before a re-download
  const char* DownloadStatus;  // null: none
  const char* StartStatus;
  const char* StartMessage;
  bool PassOptArgs;
};

constexpr TRemotelyWorkflow kRemotelyX64{
    "remotely_x64",
    "Remotely_Desktop-[a735]_x64.exe",
    false,
    "Downloading Remotely x64 Client",
    "Starting Remotely x64 process",
    "Remotely x64 will start now\r\nif a warning pops up, allow execution to continue\r\n"
    "Share your Session ID when asked",
    false,
};

constexpr TRemotelyWorkflow kRemotelyX86{
    "remotely_x86",
    "Remotely_Desktop-[a735]_x86.exe",
    true,
    "Downloading Remotely x86 Client",
    "Starting Remotely x86 process",
    "Remotely x86 will start now\r\nif a warning pops up, allow execution to continue\r\n"
    "Share your Session ID when asked",
    false,
};

constexpr TRemotelyWorkflow kRemotelyInstall{
    "remotely_install",
    "Remotely_Install-[a735].exe",
    true,
    nullptr,
    "Starting Remotely Persistent Client Installation",
    "Remotely Persistent Client Installation will start now\r\nif a warning pops up, allow execution to "
    "continue\r\n\r\nFor the Installation Administrative Privileges are required!",
    true,
};

void Debug(const std::string& text) {
  if (Logger) Logger->Debug(text);
}

template <typename... Args>
void DebugFmt(const std::string& pattern, const Args&... args) {
  if (Logger) Logger->DebugFmt(pattern, args...);
}

// Paths are UTF-8 text; a narrow std::filesystem path would take them in
// the 8-bit code page on Windows.
std::filesystem::path PathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

std::string TextOf(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

// A file of that name; a folder of that name does not count.
bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(PathOf(path), ec) && !std::filesystem::is_directory(PathOf(path), ec);
}

// A file that cannot be removed (locked, no right) stays; the download then
// replaces it or reports why it could not.
void DeleteIfExists(const std::string& path) {
  std::error_code ec;
  if (FileExists(path)) std::filesystem::remove(PathOf(path), ec);
}

// The option of that name, copied: the workflow lets window messages through
// while it runs and must not hold on to the window's configuration.
TRemoteSupportItem RequireOption(const TMainForm& form, const std::string& name) {
  const TRemoteSupportConfig* config = form.Config();
  const TRemoteSupportItem* item = config ? config->GetElementByName(name) : nullptr;
  if (!item)
    throw std::runtime_error(
        fmt::format("No remote support option named \"{}\" in the configuration.", name));
  return *item;
}

// The Remotely files are checked in the working directory and started from
// the program folder; normally both are the same folder. When they are not,
// the file that was just checked is started rather than an unchecked file of
// the same name in the program folder.
std::string CheckedStartPath(const std::string& programFolder, const std::string& fileName) {
  const std::string inProgramFolder = programFolder + fileName;
  std::error_code ec;
  if (std::filesystem::equivalent(PathOf(inProgramFolder), PathOf(fileName), ec)) return inProgramFolder;
  const std::string checked = TextOf(std::filesystem::absolute(PathOf(fileName), ec));
  DebugFmt("Working directory is not the program folder - start the checked file %s", checked);
  return checked;
}

bool RunTeamViewer(TMainForm& form, const std::string& programFolder) {
  const TRemoteSupportItem option = RequireOption(form, kTeamViewerOption);
  ILaunchSystem& launch = form.LaunchSystem();

  form.CheckTeamViewerVersion();

  std::string startPath = programFolder + kQuickSupportFile;
  DebugFmt("TV Executable path: %s", startPath);
  const std::uint32_t pid = launch.GetPidByExeName(kTeamViewerProcess);
  DebugFmt("Get PID from running Teamviewer: %d", pid);

  if ((!FileExists(startPath) && form.needDownloadTeamViewer) || form.forceDownloadTeamviewer) {
    Debug("Need to download Teamviewer");
    form.ShowStatus("Downloading Teamviewer from Orvane", kStatusDelayMs);
    DeleteIfExists(startPath);
    form.DownloadFile(option.url(), startPath);
    Debug("Finished download");
    // A failed download leaves no file; hashing it then raises and ends the
    // press before anything is stopped or started.
    if (GetFileSHA256(startPath) != option.sha256())
      throw std::runtime_error("Hash of downloaded Executable does not match the original file!");
    Debug("Checksum test passed - continue");
    form.ShowStatus("Download Successful", kStatusDelayMs);
  }

  if (form.mustkillProcess) {
    Debug("Kill existing Process");
    form.ShowStatus("Killing wrong Teamviewer Version process", kStatusDelayMs);
    launch.KillProcess(pid);
  }

  if (form.foundCorrectTeamviewer && pid != 0) {
    Debug("Working Teamviewer Version found - start it and bring to front");
    startPath = launch.GetProcessImagePath(pid);
  }

  form.ShowStatus("Starting Teamviewer process", kStatusDelayMs);
  Debug("Start it");
  form.View().ShowMessage("TeamViewer will start now");
  launch.ShellOpen(startPath, "");
  Debug("Exit self");
  return true;
}

// False when the download failed: the download has told the user why, and
// there is nothing to start.
bool RunRemotely(TMainForm& form, const std::string& programFolder, const TRemotelyWorkflow& workflow) {
  const TRemoteSupportItem option = RequireOption(form, workflow.OptionName);
  const std::string fileName = workflow.FileName;
  bool redownload = false;

  if (FileExists(fileName)) {
    form.ShowStatus(kCheckIntegrityStatus, kStatusDelayMs);
    const std::string actual = GetFileSHA256(fileName);
    if (actual != option.sha256()) {
      form.ShowStatus("Checksum invalid, force re-download...", kStatusDelayMs);
      if (workflow.ShowChecksumMismatch)
        form.View().ShowMessage(fmt::format("Expected: {}\r\nActual: {}", option.sha256(), actual));
      redownload = true;
    }
  }

  if (!FileExists(fileName) || redownload) {
    DeleteIfExists(fileName);
    if (workflow.DownloadStatus) form.ShowStatus(workflow.DownloadStatus, kStatusDelayMs);
    form.DownloadFile(option.url(), fileName);
    form.ShowStatus("Download finished", kStatusDelayMs);
    if (!FileExists(fileName)) {
      DebugFmt("Download of %s failed - nothing to start", fileName);
      form.ShowStatus("Download failed, nothing started", kStatusDelayMs);
      return false;
    }
    form.ShowStatus(kCheckIntegrityStatus, kStatusDelayMs);
    const std::string actual = GetFileSHA256(fileName);
    if (actual != option.sha256()) {
      form.ShowStatus("Checksum invalid, give up...", kStatusDelayMs);
      throw std::runtime_error(
          fmt::format("Download not successful, checksum invalid!\r\nExp SHA256: {} \r\nAct SHA256: {}",
                      option.sha256(), actual));
    }
  }

  const std::string startPath = CheckedStartPath(programFolder, fileName);
  form.ShowStatus(workflow.StartStatus, kStatusDelayMs);
  Debug("Start it");
  form.View().ShowMessage(workflow.StartMessage);
  form.LaunchSystem().ShellOpen(startPath, workflow.PassOptArgs ? option.OptArgs() : std::string());
  Debug("Exit self");
  return true;
}

}  // namespace

void TMainForm::btnShutdownClick() {
  // The box's text as shown or typed, compared exactly. A text that is none
  // of the four names runs no workflow; the auto-close below still applies.
  const std::string name = fView.OptionText();
  const std::string programFolder = fLaunch->GetProgramFolder();
  DebugFmt("Current Folder: %s", programFolder);

  bool completed = true;
  if (name == kTeamViewerOption) {
    completed = RunTeamViewer(*this, programFolder);
  } else if (name == kRemotelyX64.OptionName) {
    completed = RunRemotely(*this, programFolder, kRemotelyX64);
  } else if (name == kRemotelyX86.OptionName) {
    completed = RunRemotely(*this, programFolder, kRemotelyX86);
  } else if (name == kRemotelyInstall.OptionName) {
    completed = RunRemotely(*this, programFolder, kRemotelyInstall);
  } else {
    DebugFmt("No workflow for option \"%s\"", name);
  }

  if (completed && fView.IsChecked(TControlId::cbAutoClose)) fView.Close();
}

void TMainForm::CheckTeamViewerVersion() {
  Debug("Start TeamViewer Version Check");
  const std::uint32_t pid = fLaunch->GetPidByExeName(kTeamViewerProcess);
  DebugFmt("Get PID of running Teamviewer: %d", pid);

  mustkillProcess = false;
  forceDownloadTeamviewer = false;
  needDownloadTeamViewer = false;
  foundCorrectTeamviewer = false;

  fView.SetWindowHeight(kCollapsedHeight);

  if (pid != 0) {
    const std::string path = fLaunch->GetProcessImagePath(pid);
    Debug("Found PID, get Path:" + path);
    // An unreadable version leaves major at -1, which counts as acceptable.
    int major = -1;
    int minor = 0;
    int release = 0;
    int build = 0;
    fLaunch->GetFileVersionNumbers(path, major, minor, release, build);
    DebugFmt("Get Version of running TV: %d.%d.%d", major, minor, release);
    if (major <= 12) {
      needDownloadTeamViewer = false;
      foundCorrectTeamviewer = true;
      return;
    }
    Debug("Newer version found -> kill it!");
    mustkillProcess = true;
    forceDownloadTeamviewer = true;
  }

  const std::string quickSupport = fLaunch->GetProgramFolder() + kQuickSupportFile;
  DebugFmt("Check if TV Executable already exists in path: %s", quickSupport);
  if (FileExists(quickSupport)) {
    const std::string expected = RequireOption(*this, kTeamViewerOption).sha256();
    if (GetFileSHA256(quickSupport) != expected) {
      forceDownloadTeamviewer = true;
      needDownloadTeamViewer = true;
    } else {
      Debug("checksum test passed");
    }
  } else {
    Debug("File does not exist -> download");
    needDownloadTeamViewer = true;
  }
}

}  // namespace orvane
