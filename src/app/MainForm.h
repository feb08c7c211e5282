// The assistant window's state and behaviour, free of any toolkit.
//
// TMainForm holds what the window knows (the current option list, the
// TeamViewer flags) and runs every handler; it reaches the screen only
// through IMainFormView, which the wx frame implements and tests fake. The
// operating-system calls of the launch workflows go through ILaunchSystem so
// that tests can stand in for processes and the shell.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "OrvaneBuildConfig.h"
#include "app/ConfigSignature.h"
#include "app/Shortcuts.h"
#include "net/DownloadFile.h"
#include "system/CheckedFile.h"
#include "system/Translate.h"

namespace orvane {

class TRemoteSupportConfig;

// The controls the logic talks about (hints, check boxes, clicks).
enum class TControlId {
  btnShutdown,
  btnDownload,
  btnInstallShortcut,
  cbVersion,
  cbUseProxy,
  cbAutoClose,
  cbProxyAutoConfig,
  edtProxyIP,
};

// The window's design heights: without the proxy group, and with it.
inline constexpr int kCollapsedHeight = 190;
inline constexpr int kExpandedHeight = 320;

// Every status message is held this long before the handler goes on.
inline constexpr int kStatusDelayMs = 10;

// What TMainForm needs from the window. Heights are the design heights
// above; the view maps them onto its own sizes.
class IMainFormView {
 public:
  virtual ~IMainFormView() = default;

  // The single status-bar panel.
  virtual void SetStatusText(const std::string& text) = 0;
  // Lets the window repaint and handle queued input, from inside a handler.
  virtual void ProcessPendingEvents() = 0;

  // Modal boxes with the application's title. Confirm is OK/Cancel and
  // returns true for OK only (closing the box counts as Cancel).
  virtual void ShowMessage(const std::string& text) = 0;
  virtual bool Confirm(const std::string& text) = 0;
  virtual void ShowError(const std::string& text) = 0;

  // The option box (cbVersion): its entry list, selection and text.
  virtual void ClearOptions() = 0;
  virtual void AddOption(const std::string& name) = 0;
  virtual int OptionCount() const = 0;
  virtual void SelectOption(int index) = 0;  // -1: no selection
  virtual int SelectedOption() const = 0;    // -1: none
  virtual std::string OptionText() const = 0;
  virtual void SetOptionText(const std::string& text) = 0;

  // cbUseProxy, cbAutoClose and cbProxyAutoConfig.
  virtual bool IsChecked(TControlId box) const = 0;

  // The proxy entry (edtProxyIP) and its group (grpInternet).
  virtual std::string ProxyText() const = 0;
  virtual void SetProxyText(const std::string& text) = 0;
  virtual void SetProxyEnabled(bool enabled) = 0;
  virtual void SetProxyGroupVisible(bool visible) = 0;

  virtual void SetWindowHeight(int designHeight) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  // Asks the window to close; closing ends the program.
  virtual void Close() = 0;
  // Switches the window's buttons off while a handler runs.
  virtual void SetInputEnabled(bool enabled) = 0;
  // Shows the download's controls in the status area while one runs (a
  // progress bar and the way to give up on it, a Cancel button), and hides
  // them again.
  virtual void SetCancelVisible(bool visible) = 0;
  // The progress bar beside the status text while those controls are shown:
  // the part received, 0 to 1, or none while the size is unknown (the bar
  // then only shows that something is happening).
  virtual void SetProgress(std::optional<double> fraction) = 0;
};

// Operating-system services used by the launch workflows, the TeamViewer
// check and the shortcut installer. TRealLaunchSystem binds the real
// functions.
class ILaunchSystem {
 public:
  virtual ~ILaunchSystem() = default;

  // Id of the first process whose executable name equals exeName exactly; 0
  // when none runs.
  virtual std::uint32_t GetPidByExeName(const std::string& exeName) = 0;
  // Full path of the process's executable; throws on failure.
  virtual std::string GetProcessImagePath(std::uint32_t pid) = 0;
  // True when the system accepted the termination; does not wait.
  virtual bool KillProcess(std::uint32_t pid) = 0;
  // Empty text with the four numbers set, or the failure text.
  virtual std::string GetFileVersionNumbers(const std::string& file, int& major, int& minor, int& release,
                                            int& build) = 0;
  // Starts a program (or opens a file) through the shell; the result is not
  // examined.
  virtual void ShellOpen(const std::string& file, const std::string& params) = 0;
  // Starts the program that was checked through file from the bytes that
  // were checked (file stays open until this returns); the result is not
  // examined.
  virtual void ShellOpenChecked(const TCheckedFile& file, const std::string& params) = 0;
  // Folder of the running program, with trailing separator.
  virtual std::string GetProgramFolder() = 0;

  // Full path of the running program's executable file (not argument 0).
  virtual std::string GetExecutablePath() = 0;
  // The configuration folder (with trailing separator; empty when unknown).
  virtual std::string GetConfigPath(const std::string& sub) = 0;
  // Whether both names denote the same existing file.
  virtual bool IsSameFile(const std::string& a, const std::string& b) = 0;
  // Copies the program to destination, creating its folder first and
  // replacing an older copy. Empty text when the copy is in place, else why
  // not, in plain words.
  virtual std::string CopyProgram(const std::string& source, const std::string& destination) = 0;
  // Writes the desktop and start-menu links to target.
  virtual TShortcutResult CreateShortcut(const std::string& shortcutName, const std::string& description,
                                         const std::string& target) = 0;
};

// What tests (and the demo) control about a window.
struct TMainFormOptions {
  // Where orvanesupport.json is downloaded from (no trailing slash).
  std::string DownloadBaseUrl = ORVANE_DOWNLOAD_BASE_URL;
  // The command line the start-up sequence reads, argument 0 first; none:
  // the process arguments.
  std::optional<std::vector<std::string>> Arguments;
  // Process and shell services; null: the real ones.
  ILaunchSystem* LaunchSystem = nullptr;
  // PEM public key whose signature an option list must carry; empty: lists
  // are used unsigned.
  std::string ConfigPublicKey = BuiltInConfigPublicKey();
};

// Told when a loaded file offers nothing to choose from.
inline constexpr char kNoOptionsMessage[] =
    TR_NOOP("The configuration file holds no remote support options.");

// Told when a downloaded option list is refused because it is no option list
// (a proxy's or a network's sign-in page answering in the server's place).
inline constexpr char kNotAnOptionListMessage[] =
    TR_NOOP("The server did not send an option list but something else, maybe a proxy or a sign-in page.");
inline constexpr char kListKeptMessage[] = TR_NOOP("The present list is kept.");

// Status texts after a download that did not complete.
inline constexpr char kDownloadCancelledStatus[] = TR_NOOP("Download cancelled");
inline constexpr char kDownloadFailedStatus[] = TR_NOOP("Download failed");

// Status text (shown language) while a download runs: "Downloading <file>: 1.5 of 12.0 MB",
// or without a known size "Downloading <file>: 1.5 MB" (kB below 1 MB).
std::string ProgressText(const std::string& file, std::uint64_t received, std::optional<std::uint64_t> total);

// Status text once a downloaded option list is loaded: "Option list loaded:
// 4 options".
std::string OptionListLoadedText(int options);

class TMainForm {
 public:
  explicit TMainForm(IMainFormView& view, TMainFormOptions options = {});
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // Entry points for the window's events. Button clicks and the start-up
  // sequence run guarded: one at a time, buttons off meanwhile, errors shown
  // in an error box. A click that arrives while one runs is dropped.
  void Click(TControlId control);
  void ControlMouseEnter(TControlId control);
  void ControlMouseLeave(TControlId control);
  // Runs the start-up sequence on the first activation only; one that
  // arrives while a handler runs is carried out when that handler ends.
  void Activated();
  // True while a guarded handler runs (the window defers closing meanwhile).
  bool IsBusy() const { return fBusy; }
  // True while DownloadFile runs.
  bool IsDownloading() const { return fDownloading; }
  // Gives up on the running download (Escape, the Cancel button, closing the
  // window): it ends soon, writes nothing and keeps the old file. Without a
  // running download nothing happens.
  void CancelDownload();
  // The window is about to close once the running handler returns: its
  // download, and any it would start after, are cancelled.
  void CancelForClose();

  // The handlers; they throw on failure (callers above show the error).
  void FormCreate();
  void FormActivate();
  void btnDownloadClick();
  void btnShutdownClick();
  void btnInstallShortcutClick();
  void cbUseProxyClick();
  void cbProxyAutoConfigClick();

  void ShowStatus(const std::string& text, int delayMs);
  // Done when the file is new, or when it was present and not forced.
  TDownloadResult DownloadConfigFile(bool force);
  void LoadConfig();
  void ReloadConfig();
  void SaveConfig(const TRemoteSupportConfig& config);
  // Downloads url into savepath using the window's proxy settings; reports
  // failures to the user itself and writes the file only on success. The
  // window handles its events meanwhile and can cancel the transfer. extra
  // may carry a Check of the new file and a place for its Content-Type;
  // progress, event pump and cancel flag are the window's own.
  TDownloadResult DownloadFile(const std::string& url, const std::string& savepath,
                               TDownloadHooks extra = {});

  // Sets the four TeamViewer flags below (and collapses the window).
  void CheckTeamViewerVersion();
  // The same; when QuickSupport's checksum passed, the file it was computed
  // from is kept open in checkedQuickSupport for its start (else cleared).
  void CheckTeamViewerVersion(std::optional<TCheckedFile>& checkedQuickSupport);

  // The current option list; null before the first load and after a load
  // that produced no configuration.
  const TRemoteSupportConfig* Config() const { return RSConfig.get(); }
  IMainFormView& View() { return fView; }
  ILaunchSystem& LaunchSystem() { return *fLaunch; }

  // Written by CheckTeamViewerVersion, read by the TeamViewer workflow.
  bool mustkillProcess = false;
  bool forceDownloadTeamviewer = false;
  bool needDownloadTeamViewer = false;
  bool foundCorrectTeamviewer = false;

  // The hint of a control, in English (the view shows it through Tr).
  static const char* HintFor(TControlId control);

 private:
  void RunGuarded(void (TMainForm::*handler)());
  void ReportProgress(const std::string& file, std::uint64_t received, std::optional<std::uint64_t> total);

  IMainFormView& fView;
  TMainFormOptions fOptions;
  ILaunchSystem* fLaunch;
  std::unique_ptr<ILaunchSystem> fOwnedLaunch;
  std::unique_ptr<TRemoteSupportConfig> RSConfig;
  bool fBusy = false;
  bool fActivated = false;
  bool fActivationPending = false;
  bool fDownloading = false;
  bool fClosing = false;
  TDownloadCancel fCancel;
  std::chrono::steady_clock::time_point fLastProgress{};
  std::uint64_t fLastProgressBytes = 0;
};

}  // namespace orvane
