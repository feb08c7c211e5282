#include "app/MainForm.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <thread>
#include <utility>

#include "app/ConfigFile.h"
#include "app/Language.h"
#include "app/RealLaunchSystem.h"
#include "app/RemoteSupportConfig.h"
#include "cmdline/CmdLineParaHandler.h"
#include "net/DownloadFile.h"
#include "system/SysUtils.h"
#include "system/Translate.h"

namespace orvane {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// The largest option list a download takes: one with every tool is a few
// KiB, so anything near this is not a list, and it must not fill the memory
// it is checked in.
constexpr std::uint64_t kMaxConfigDownloadSize = std::uint64_t{1} << 20;

bool FileExists(const std::string& name) {
  std::error_code ec;
  return std::filesystem::exists(name, ec) && !std::filesystem::is_directory(name, ec);
}

// "12.3 kB" / "12.3 MB" in the unit that suits `unitOf`.
std::string SizeText(std::uint64_t bytes, std::uint64_t unitOf) {
  constexpr double kKiB = 1024.0;
  constexpr double kMiB = 1024.0 * 1024.0;
  if (static_cast<double>(unitOf) >= kMiB) return fmt::format("{:.1f}", static_cast<double>(bytes) / kMiB);
  return fmt::format("{:.1f}", static_cast<double>(bytes) / kKiB);
}

std::string UnitText(std::uint64_t unitOf) { return unitOf >= 1024 * 1024 ? "MB" : "kB"; }

// A downloaded option list replaces the present one only when it reads as
// one: a proxy or a network's sign-in page that answers in the server's place
// with status 200 must not cost the user a working list.
std::string CheckOptionList(const std::optional<std::string>& newBytes, bool listPresent) {
  try {
    if (newBytes) {
      const std::optional<TRemoteSupportConfig> config = ReadConfigFromBytes(*newBytes);
      if (config && config->HasOptionList()) return {};
    }
  } catch (const EConvertError&) {
  }
  std::string reason = Tr(kNotAnOptionListMessage);
  if (listPresent) reason += "\r\n" + Tr(kListKeptMessage);
  return reason;
}

// Marks a download as running for as long as it is in scope.
class TDownloadScope {
 public:
  TDownloadScope(IMainFormView& view, bool& downloading) : fView(view), fDownloading(downloading) {
    fDownloading = true;
    fView.SetCancelVisible(true);
  }
  ~TDownloadScope() {
    fDownloading = false;
    fView.SetCancelVisible(false);
  }
  TDownloadScope(const TDownloadScope&) = delete;
  TDownloadScope& operator=(const TDownloadScope&) = delete;

 private:
  IMainFormView& fView;
  bool& fDownloading;
};

// The download's message boxes go to the window. The download layer writes
// English (a signature download sends the same texts to the log); a text that
// is one of its fixed messages is shown in the window's language.
class TViewMessages : public IDownloadMessages {
 public:
  explicit TViewMessages(IMainFormView& view) : fView(view) {}
  void ShowMessage(const std::string& text) override { fView.ShowMessage(Tr(text.c_str())); }

 private:
  IMainFormView& fView;
};

}  // namespace

std::string ProgressText(const std::string& file, std::uint64_t received,
                         std::optional<std::uint64_t> total) {
  if (total) {
    return fmt::format(fmt::runtime(Tr("Downloading {}: {} of {} {}")), file, SizeText(received, *total),
                       SizeText(*total, *total), UnitText(*total));
  }
  return fmt::format(fmt::runtime(Tr("Downloading {}: {} {}")), file, SizeText(received, received),
                     UnitText(received));
}

std::string OptionListLoadedText(int options) {
  return fmt::format(fmt::runtime(TrPlural("Option list loaded: {} option", "Option list loaded: {} options",
                                           static_cast<unsigned long>(options))),
                     options);
}

TMainForm::TMainForm(IMainFormView& view, TMainFormOptions options)
    : fView(view), fOptions(std::move(options)), fLaunch(fOptions.LaunchSystem) {
  if (!fLaunch) {
    fOwnedLaunch = std::make_unique<TRealLaunchSystem>();
    fLaunch = fOwnedLaunch.get();
  }
}

TMainForm::~TMainForm() = default;

const char* TMainForm::HintFor(TControlId control) {
  switch (control) {
    case TControlId::btnShutdown:
      return TR_NOOP("Download and Execute selected Option");
    case TControlId::btnDownload:
      return TR_NOOP("Re-Download and Reload Configuration File");
    case TControlId::btnInstallShortcut:
      return TR_NOOP("Create ShortCut To this Assistant on Desktop");
    case TControlId::cbVersion:
      return TR_NOOP("Select preferred Remote Support Option");
    case TControlId::cbUseProxy:
      return TR_NOOP("Configure an optional Proxy Server if needed");
    case TControlId::cbAutoClose:
      return TR_NOOP("Automatically Close This Program when finished");
    case TControlId::cbProxyAutoConfig:
      return TR_NOOP("Automatically configure Proxy Server with WPAD File");
    case TControlId::edtProxyIP:
      return TR_NOOP("Set IP Adress and Port of Proxy Server");
  }
  return "";
}

void TMainForm::Click(TControlId control) {
  switch (control) {
    case TControlId::btnShutdown:
      RunGuarded(&TMainForm::btnShutdownClick);
      break;
    case TControlId::btnDownload:
      RunGuarded(&TMainForm::btnDownloadClick);
      break;
    case TControlId::btnInstallShortcut:
      RunGuarded(&TMainForm::btnInstallShortcutClick);
      break;
    case TControlId::cbUseProxy:
      cbUseProxyClick();
      break;
    case TControlId::cbProxyAutoConfig:
      cbProxyAutoConfigClick();
      break;
    default:
      break;
  }
}

void TMainForm::ControlMouseEnter(TControlId control) { fView.SetStatusText(Tr(HintFor(control))); }

void TMainForm::ControlMouseLeave(TControlId) { fView.SetStatusText(""); }

void TMainForm::Activated() {
  // Later activations (after a message box, after switching windows) would
  // reload the list and reset the user's choice, or in WriteConfig mode
  // rewrite the file; the sequence therefore runs once.
  if (fActivated) return;
  // The first activation can arrive while a handler lets events through;
  // the sequence then runs as soon as that handler is done, not never.
  if (fBusy) {
    fActivationPending = true;
    return;
  }
  fActivated = true;
  RunGuarded(&TMainForm::FormActivate);
}

void TMainForm::RunGuarded(void (TMainForm::*handler)()) {
  // ShowStatus and the message boxes let queued clicks through; a click that
  // arrives while a handler runs is dropped instead of starting a second
  // handler inside the first.
  if (fBusy) return;
  fBusy = true;
  fView.SetInputEnabled(false);
  try {
    (this->*handler)();
  } catch (const std::exception& e) {
    fView.ShowError(e.what());
  } catch (...) {
    fView.ShowError(Tr("Unknown error"));
  }
  fView.SetInputEnabled(true);
  fBusy = false;
  if (fActivationPending) {
    fActivationPending = false;
    Activated();
  }
}

void TMainForm::FormCreate() { fView.SetWindowHeight(kCollapsedHeight); }

void TMainForm::FormActivate() {
  std::optional<TCmdLineParaHandler> handler;
  if (fOptions.Arguments) {
    const std::vector<std::string>& args = *fOptions.Arguments;
    // "args.txt" belongs beside argument 0, as for the process's own list.
    const std::string folder =
        args.empty() ? fLaunch->GetProgramFolder()
                     : AddTrailingBackslash(std::filesystem::path(args.front()).parent_path().string());
    handler.emplace(true, false, args, folder);
  } else {
    handler.emplace(true, false);
  }

  // The language switch alone changes how the window reads, not what it
  // does.
  if (!handler->WasCalledWithArgs() || OnlyLanguageRequested(*handler)) {
    bool downloaded = false;
    if (!FileExists(kConfigFileName)) {
      fView.ShowMessage(Tr("Configuration File not Found, Press OK to start download"));
      downloaded = DownloadConfigFile(false) == TDownloadResult::Done;
    }
    ReloadConfig();
    // The status bar says what the download came to rather than keeping
    // its last progress text (a failed or cancelled one has said so).
    if (downloaded && RSConfig && RSConfig->NumberOfLinks() > 0)
      ShowStatus(OptionListLoadedText(RSConfig->NumberOfLinks()), kStatusDelayMs);
  } else {
    // The maker's publishing mode: write the built-in list, sign the list in
    // the working folder, or both in that order.
    if (handler->IsKeyAvailable("WriteConfig", "")) {
      TRemoteSupportConfig config("");
      config.CreateDummyConfig();
      SaveConfig(config);
      fView.ShowMessage(Tr("Config written"));
    }
    if (handler->IsKeyAvailable("SignConfig", "")) {
      SignConfigFile(handler->GetValueAsStr("SignConfig", ""), kConfigFileName);
      fView.ShowMessage(fmt::format(fmt::runtime(Tr("Config signed: {}")),
                                    std::string(kConfigFileName) + kConfigSignatureSuffix));
    }
  }
  handler.reset();

  fView.SetTitle("Orvane Remote Support " + GetFileVersionString("", true, "V", false));
}

void TMainForm::btnDownloadClick() {
  ShowStatus(Tr("Force Download Configuration File"), kStatusDelayMs);
  if (fView.Confirm(Tr("Is the PC connected to the internet and if needed the Proxy Server configured?\r\n"
                       "Press OK to continue, Cancel to abort"))) {
    // A download that did not complete left the file as it was; reloading
    // it would only reset the user's choice.
    const TDownloadResult result = DownloadConfigFile(true);
    if (result == TDownloadResult::Failed)
      ShowStatus(Tr("Download failed, the list was not changed"), kStatusDelayMs);
    if (result != TDownloadResult::Done) return;
    ShowStatus(Tr("Reload Config"), kStatusDelayMs);
    ReloadConfig();
    ShowStatus(Tr("Configuration reloaded"), kStatusDelayMs);
  } else {
    ShowStatus(Tr("Download aborted"), kStatusDelayMs);
  }
}

void TMainForm::cbUseProxyClick() {
  const bool use = fView.IsChecked(TControlId::cbUseProxy);
  fView.SetProxyGroupVisible(use);
  fView.SetWindowHeight(use ? kExpandedHeight : kCollapsedHeight);
}

void TMainForm::cbProxyAutoConfigClick() {
  if (fView.IsChecked(TControlId::cbProxyAutoConfig)) {
    fView.SetProxyText("");
    fView.SetProxyEnabled(false);
  } else {
    fView.SetProxyEnabled(true);
  }
}

void TMainForm::ShowStatus(const std::string& text, int delayMs) {
  fView.SetStatusText(text);
  fView.ProcessPendingEvents();
  if (delayMs > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    fView.ProcessPendingEvents();
  }
}

TDownloadResult TMainForm::DownloadConfigFile(bool force) {
  // A forced download keeps the present file until a new one has arrived
  // (the download replaces it only on success, and only with a file that
  // reads as an option list), so a failed attempt does not cost the user the
  // list they had.
  const bool present = FileExists(kConfigFileName);
  if (!force && present) return TDownloadResult::Done;
  const std::string url = fOptions.DownloadBaseUrl + "/" + kConfigFileName;
  TDownloadHooks hooks;
  hooks.MaxSize = kMaxConfigDownloadSize;
  if (fOptions.ConfigPublicKey.empty()) {
    hooks.Check = [present](const std::string& newFile) {
      return CheckOptionList(ReadConfigFileBytes(newFile), present);
    };
    return DownloadFile(url, kConfigFileName, std::move(hooks));
  }
  // A signed list: its signature comes first, quietly and cancellable like
  // any download; the list's check then tests the signature before the
  // content.
  TConfigSignatureDownload signature(fOptions.ConfigPublicKey, kConfigFileName);
  if (!fClosing) fCancel.Reset();
  {
    const TDownloadScope running(fView, fDownloading);
    TDownloadHooks quiet;
    quiet.Pump = [this] { fView.ProcessPendingEvents(); };
    quiet.Cancel = &fCancel;
    signature.FetchSignature(url, fView.IsChecked(TControlId::cbUseProxy), fView.ProxyText(), quiet);
  }
  if (fCancel.Cancelled()) {
    ShowStatus(Tr(kDownloadCancelledStatus), kStatusDelayMs);
    return TDownloadResult::Cancelled;
  }
  // The new file is read once: the bytes checked are the bytes parsed.
  hooks.Check = [&signature, present](const std::string& newFile) {
    const std::optional<std::string> bytes = ReadConfigFileBytes(newFile);
    const std::string why = bytes ? signature.Check(*bytes) : std::string();
    return why.empty() ? CheckOptionList(bytes, present) : why;
  };
  const TDownloadResult result = DownloadFile(url, kConfigFileName, std::move(hooks));
  signature.Finish();
  return result;
}

void TMainForm::LoadConfig() {
  // One read and nothing before it: in a signed build the bytes checked are
  // the bytes parsed, and no list can slip in between a look for the file
  // and its reading.
  const std::optional<std::string> bytes = ReadConfigFileBytes(kConfigFileName);
  const bool fileExists = bytes.has_value();
  if (fileExists && !fOptions.ConfigPublicKey.empty()) {
    const std::string why = VerifyConfigFile(fOptions.ConfigPublicKey, *bytes, kConfigFileName);
    if (!why.empty()) {
      LogConfigRefusal(kConfigFileName, why);
      RSConfig.reset();
      fView.ClearOptions();
      fView.SetOptionText("");
      fView.ShowMessage(Tr(kConfigNotSignedMessage));
      return;
    }
  }
  std::optional<TRemoteSupportConfig> read =
      fileExists ? ReadConfigFromBytes(*bytes) : TRemoteSupportConfig();
  RSConfig = read ? std::make_unique<TRemoteSupportConfig>(std::move(*read)) : nullptr;

  fView.ClearOptions();
  // A file that yields no options at all (empty or null document, no usable
  // list, an empty list) leaves nothing to choose; say so now rather than
  // letting the start button find nothing later.
  if (!RSConfig || !RSConfig->HasOptionList() || (fileExists && RSConfig->NumberOfLinks() == 0)) {
    fView.SetOptionText("");
    fView.ShowMessage(Tr(kNoOptionsMessage));
    return;
  }
  for (int i = 0; i < RSConfig->NumberOfLinks(); ++i)
    fView.AddOption(RSConfig->GetElementByIndex(i).ItemName());
  if (fView.OptionCount() > 0) {
    const int index = RSConfig->DefaultItemIndex();
    if (index >= 0 && index < RSConfig->NumberOfLinks()) {
      fView.SelectOption(index);
      fView.SetOptionText(RSConfig->GetElementByIndex(index).ItemName());
    } else {
      fView.SelectOption(-1);
      fView.SetOptionText("");
    }
  }
}

void TMainForm::ReloadConfig() {
  RSConfig.reset();
  LoadConfig();
}

void TMainForm::SaveConfig(const TRemoteSupportConfig& config) { WriteConfigFile(kConfigFileName, config); }

TDownloadResult TMainForm::DownloadFile(const std::string& url, const std::string& savepath,
                                        TDownloadHooks extra) {
  TViewMessages messages(fView);
  const std::string file = std::filesystem::path(savepath).filename().string();
  fLastProgress = {};
  fLastProgressBytes = 0;
  extra.Progress = [this, &file](std::uint64_t received, std::optional<std::uint64_t> total) {
    ReportProgress(file, received, total);
  };
  // The window stays alive during the transfer: it repaints and handles
  // input, among it Escape, the Cancel button and closing, which set the
  // cancel flag.
  extra.Pump = [this] { fView.ProcessPendingEvents(); };
  extra.Cancel = &fCancel;
  if (!fClosing) fCancel.Reset();
  TDownloadResult result = TDownloadResult::Failed;
  {
    const TDownloadScope running(fView, fDownloading);
    result = orvane::DownloadFile(url, savepath, fView.IsChecked(TControlId::cbUseProxy), fView.ProxyText(),
                                  messages, extra);
  }
  if (result == TDownloadResult::Cancelled) ShowStatus(Tr(kDownloadCancelledStatus), kStatusDelayMs);
  if (result == TDownloadResult::Failed) ShowStatus(Tr(kDownloadFailedStatus), kStatusDelayMs);
  return result;
}

void TMainForm::CancelDownload() {
  if (fDownloading) fCancel.Cancel();
}

void TMainForm::CancelForClose() {
  fClosing = true;
  fCancel.Cancel();
}

void TMainForm::ReportProgress(const std::string& file, std::uint64_t received,
                               std::optional<std::uint64_t> total) {
  // About ten updates a second keep the window alive without the status bar
  // turning into the bottleneck; the final state is always shown.
  const auto now = std::chrono::steady_clock::now();
  const bool justCompleted = total && received == *total && received != fLastProgressBytes;
  if (!justCompleted && now - fLastProgress < kProgressInterval) return;
  fLastProgress = now;
  fLastProgressBytes = received;
  // Painted by the download's event pump, which follows.
  fView.SetStatusText(ProgressText(file, received, total));
  std::optional<double> fraction;
  if (total && *total > 0)
    fraction = static_cast<double>(std::min(received, *total)) / static_cast<double>(*total);
  fView.SetProgress(fraction);
}

}  // namespace orvane
