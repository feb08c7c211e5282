// Start button of the assistant window: the four launch workflows, and the
// check of a running TeamViewer that the TeamViewer workflow acts on.
//
// Every workflow makes sure its executable is present and carries the
// configured SHA-256 (downloading it when needed), then starts it through the
// shell. Errors are raised and end the press; the guarded runner shows them.
//
// Started means checked: the file a checksum was computed from stays open
// (TCheckedFile) until the start has been requested through it, so that
// nobody can put other bytes in its place while the window waits for the
// user's OK.
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "app/MainForm.h"
#include "app/RemoteSupportConfig.h"
#include "logging/Logging.h"
#include "system/CheckedFile.h"
#include "system/Translate.h"
#include "system/Utf8.h"

namespace orvane {

namespace {

constexpr char kTeamViewerOption[] = "teamviewer";
constexpr char kTeamViewerProcess[] = "TeamViewer.exe";
constexpr char kQuickSupportFile[] = "TeamViewerQS.exe";
constexpr char kCheckIntegrityStatus[] = TR_NOOP("Check File Integriy. This will take some time...");
constexpr char kNothingStartedStatus[] = TR_NOOP("Download failed, nothing started");
constexpr char kWebPageHint[] = TR_NOOP(
    "The server sent a web page instead of the program. A proxy or a sign-in page may be in the way.");

// The three Remotely workflows differ only in these texts and choices. The
// texts are English; they are shown through Tr.
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
    TR_NOOP("Downloading Remotely x64 Client"),
    TR_NOOP("Starting Remotely x64 process"),
    TR_NOOP("Remotely x64 will start now\r\nif a warning pops up, allow execution to continue\r\n"
            "Share your Session ID when asked"),
    false,
};

constexpr TRemotelyWorkflow kRemotelyX86{
    "remotely_x86",
    "Remotely_Desktop-[a735]_x86.exe",
    true,
    TR_NOOP("Downloading Remotely x86 Client"),
    TR_NOOP("Starting Remotely x86 process"),
    TR_NOOP("Remotely x86 will start now\r\nif a warning pops up, allow execution to continue\r\n"
            "Share your Session ID when asked"),
    false,
};

constexpr TRemotelyWorkflow kRemotelyInstall{
    "remotely_install",
    "Remotely_Install-[a735].exe",
    true,
    nullptr,
    TR_NOOP("Starting Remotely Persistent Client Installation"),
    TR_NOOP(
        "Remotely Persistent Client Installation will start now\r\nif a warning pops up, allow execution to "
        "continue\r\n\r\nFor the Installation Administrative Privileges are required!"),
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

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

// A download whose bytes fail the checksum is often no program at all but
// the page of a proxy or a network's sign-in: the server called it text or
// HTML, or it starts like markup.
bool IsWebPage(const std::string& contentType, const std::string& path) {
  const std::string type = Lower(contentType);
  if (type.rfind("text/", 0) == 0 || type.rfind("application/xhtml", 0) == 0) return true;
  std::ifstream in(PathOf(path), std::ios::binary);
  std::string head(512, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  std::string_view rest(head);
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);
  while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front()))) rest.remove_prefix(1);
  const std::string start = Lower(rest.substr(0, 9));
  return start.rfind("<!doctype", 0) == 0 || start.rfind("<html", 0) == 0 || start.rfind("<?xml", 0) == 0;
}

// The checksum error of a fresh download, with a word on what probably came
// instead when that was a web page.
std::string ChecksumError(std::string message, const std::string& contentType, const std::string& path) {
  if (IsWebPage(contentType, path)) message += "\r\n" + Tr(kWebPageHint);
  return message;
}

// Downloads the tool. False when nothing came: the status bar then says why
// (a failure was also told in a box; a cancel was the user's own).
bool FetchTool(TMainForm& form, const std::string& url, const std::string& path, std::string& contentType) {
  TDownloadHooks hooks;
  hooks.ContentType = &contentType;
  hooks.Executable = true;
  const TDownloadResult result = form.DownloadFile(url, path, std::move(hooks));
  if (result == TDownloadResult::Failed) form.ShowStatus(Tr(kNothingStartedStatus), kStatusDelayMs);
  if (result != TDownloadResult::Done) DebugFmt("Download of %s did not complete - nothing to start", path);
  return result == TDownloadResult::Done;
}

// The option of that name, copied: the workflow lets window messages through
// while it runs and must not hold on to the window's configuration.
TRemoteSupportItem RequireOption(const TMainForm& form, const std::string& name) {
  const TRemoteSupportConfig* config = form.Config();
  const TRemoteSupportItem* item = config ? config->GetElementByName(name) : nullptr;
  if (!item)
    throw std::runtime_error(
        fmt::format(fmt::runtime(Tr("No remote support option named \"{}\" in the configuration.")), name));
  return *item;
}

// The Remotely files are checked in the working directory and started from
// the program folder; normally both are the same folder. When they are not,
// the file that is checked is started rather than an unchecked file of the
// same name in the program folder. The file is opened for its check by the
// path it is started by.
std::string CheckedStartPath(const std::string& programFolder, const std::string& fileName) {
  const std::string inProgramFolder = programFolder + fileName;
  std::error_code ec;
  if (std::filesystem::equivalent(PathOf(inProgramFolder), PathOf(fileName), ec)) return inProgramFolder;
  return TextOf(std::filesystem::absolute(PathOf(fileName), ec));
}

bool RunTeamViewer(TMainForm& form, const std::string& programFolder) {
  const TRemoteSupportItem option = RequireOption(form, kTeamViewerOption);
  ILaunchSystem& launch = form.LaunchSystem();

  std::optional<TCheckedFile> quickSupport;
  form.CheckTeamViewerVersion(quickSupport);

  std::string startPath = programFolder + kQuickSupportFile;
  DebugFmt("TV Executable path: %s", startPath);
  const std::uint32_t pid = launch.GetPidByExeName(kTeamViewerProcess);
  DebugFmt("Get PID from running Teamviewer: %d", pid);

  if ((!FileExists(startPath) && form.needDownloadTeamViewer) || form.forceDownloadTeamviewer) {
    Debug("Need to download Teamviewer");
    form.ShowStatus(Tr("Downloading Teamviewer from Orvane"), kStatusDelayMs);
    // The present file stays until a new one has arrived: a download that
    // fails or is cancelled ends the press before anything is stopped or
    // started, and leaves the file as it was.
    // The checked file is let go first: on Windows it would keep the
    // download from replacing it.
    quickSupport.reset();
    std::string contentType;
    if (!FetchTool(form, option.url(), startPath, contentType)) return false;
    Debug("Finished download");
    TCheckedFile downloaded(startPath);
    if (downloaded.SHA256() != option.sha256())
      throw std::runtime_error(ChecksumError(
          Tr("Hash of downloaded Executable does not match the original file!"), contentType, startPath));
    quickSupport = std::move(downloaded);
    Debug("Checksum test passed - continue");
    form.ShowStatus(Tr("Download Successful"), kStatusDelayMs);
  }

  if (form.mustkillProcess) {
    Debug("Kill existing Process");
    form.ShowStatus(Tr("Killing wrong Teamviewer Version process"), kStatusDelayMs);
    launch.KillProcess(pid);
  }

  if (form.foundCorrectTeamviewer && pid != 0) {
    Debug("Working Teamviewer Version found - start it and bring to front");
    // The running program's own file, which we did not download: started by
    // its path as it is.
    startPath = launch.GetProcessImagePath(pid);
    quickSupport.reset();
  } else if (!quickSupport) {
    // Only when the running TeamViewer ended, or QuickSupport appeared,
    // after the version check had looked: checked here before its start.
    TCheckedFile present(startPath);
    if (present.SHA256() != option.sha256())
      throw std::runtime_error(fmt::format(
          fmt::runtime(Tr("The file \"{}\" does not carry the expected checksum, so it is not started.")),
          startPath));
    quickSupport = std::move(present);
  }

  form.ShowStatus(Tr("Starting Teamviewer process"), kStatusDelayMs);
  Debug("Start it");
  form.View().ShowMessage(Tr("TeamViewer will start now"));
  if (quickSupport)
    launch.ShellOpenChecked(*quickSupport, "");
  else
    launch.ShellOpen(startPath, "");
  Debug("Exit self");
  return true;
}

// False when the download failed or was cancelled: there is nothing to
// start.
bool RunRemotely(TMainForm& form, const std::string& programFolder, const TRemotelyWorkflow& workflow) {
  const TRemoteSupportItem option = RequireOption(form, workflow.OptionName);
  const std::string fileName = workflow.FileName;
  bool redownload = false;
  // The file whose checksum passed, held open for its start.
  std::optional<TCheckedFile> checked;

  if (FileExists(fileName)) {
    form.ShowStatus(Tr(kCheckIntegrityStatus), kStatusDelayMs);
    checked.emplace(CheckedStartPath(programFolder, fileName));
    const std::string actual = checked->SHA256();
    if (actual != option.sha256()) {
      checked.reset();
      form.ShowStatus(Tr("Checksum invalid, force re-download..."), kStatusDelayMs);
      if (workflow.ShowChecksumMismatch)
        form.View().ShowMessage(fmt::format(fmt::runtime(Tr("Expected: {}\r\nActual: {}")),
                                            EscapeControlChars(option.sha256()), actual));
      redownload = true;
    }
  }

  if (!FileExists(fileName) || redownload) {
    // The present file stays until a new one has arrived (see RunTeamViewer).
    if (workflow.DownloadStatus) form.ShowStatus(Tr(workflow.DownloadStatus), kStatusDelayMs);
    std::string contentType;
    if (!FetchTool(form, option.url(), fileName, contentType)) return false;
    form.ShowStatus(Tr("Download finished"), kStatusDelayMs);
    form.ShowStatus(Tr(kCheckIntegrityStatus), kStatusDelayMs);
    checked.emplace(CheckedStartPath(programFolder, fileName));
    const std::string actual = checked->SHA256();
    if (actual != option.sha256()) {
      form.ShowStatus(Tr("Checksum invalid, give up..."), kStatusDelayMs);
      throw std::runtime_error(ChecksumError(
          fmt::format(fmt::runtime(Tr(
                          "Download not successful, checksum invalid!\r\nExp SHA256: {} \r\nAct SHA256: {}")),
                      EscapeControlChars(option.sha256()), actual),
          contentType, fileName));
    }
  }

  if (checked->Path() != programFolder + fileName)
    DebugFmt("Working directory is not the program folder - start the checked file %s", checked->Path());
  form.ShowStatus(Tr(workflow.StartStatus), kStatusDelayMs);
  Debug("Start it");
  form.View().ShowMessage(Tr(workflow.StartMessage));
  form.LaunchSystem().ShellOpenChecked(*checked, workflow.PassOptArgs ? option.OptArgs() : std::string());
  Debug("Exit self");
  return true;
}

// What to tell the user when the option box names nothing that can be
// started: the box may still show its design-time text after a list that
// could not be loaded, or a typed name.
std::string NoWorkflowMessage(const TRemoteSupportConfig* config, const std::string& name) {
  if (!config || config->NumberOfLinks() == 0)
    return Tr(
        "No remote support options are loaded, so nothing can be started.\r\n"
        "Press the download button to fetch the option list again.");
  if (name.empty()) return Tr("No remote support option is chosen.\r\nPlease choose one from the list.");
  return fmt::format(fmt::runtime(Tr("\"{}\" is not a remote support option this assistant can "
                                     "start.\r\nPlease choose one from the list.")),
                     EscapeControlChars(name));
}

}  // namespace

void TMainForm::btnShutdownClick() {
  // The box's text as shown or typed, compared exactly. A text that is none
  // of the four names starts nothing and says so; the window stays open.
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
    DebugFmt("No workflow for option \"%s\"", EscapeControlChars(name));
    fView.ShowMessage(NoWorkflowMessage(RSConfig.get(), name));
    completed = false;
  }

  if (completed && fView.IsChecked(TControlId::cbAutoClose)) fView.Close();
}

void TMainForm::CheckTeamViewerVersion() {
  std::optional<TCheckedFile> unused;
  CheckTeamViewerVersion(unused);
}

void TMainForm::CheckTeamViewerVersion(std::optional<TCheckedFile>& checkedQuickSupport) {
  checkedQuickSupport.reset();
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
    TCheckedFile file(quickSupport);
    if (file.SHA256() != expected) {
      forceDownloadTeamviewer = true;
      needDownloadTeamViewer = true;
    } else {
      Debug("checksum test passed");
      checkedQuickSupport = std::move(file);
    }
  } else {
    Debug("File does not exist -> download");
    needDownloadTeamViewer = true;
  }
}

}  // namespace orvane
