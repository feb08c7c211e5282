#include "app/App_wx.h"

#include <wx/app.h>
#include <wx/bmpbndl.h>
#include <wx/icon.h>
#include <wx/iconbndl.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/mstream.h>
#include <wx/timer.h>

#include <functional>
#include <memory>
#include <utility>

#include "app/AppLifecycle.h"
#include "app/Icons.h"
#include "app/Language.h"
#include "app/Language_wx.h"
#include "app/MainForm_wx.h"
#include "app/Shortcuts.h"
#include "cmdline/CmdLineParaHandler.h"
#include "cmdline/HelpForm_wx.h"
#include "logging/Logging.h"

namespace orvane {

namespace {

// A logger timer that ticks on the GUI thread between messages.
class TWxLogTimer : public ILogTimer {
 public:
  TWxLogTimer(int intervalMs, std::function<void()> onTick)
      : fIntervalMs(intervalMs), fTimer(std::move(onTick)) {}

  void Start() override { fTimer.Start(fIntervalMs); }
  void Stop() override { fTimer.Stop(); }
  bool IsRunning() const override { return fTimer.IsRunning(); }

 private:
  class TTicker : public wxTimer {
   public:
    explicit TTicker(std::function<void()> onTick) : fOnTick(std::move(onTick)) {}
    void Notify() override { fOnTick(); }

   private:
    std::function<void()> fOnTick;
  };

  int fIntervalMs;
  TTicker fTimer;
};

std::unique_ptr<ILogTimer> MakeWxLogTimer(int intervalMs, std::function<void()> onTick) {
  return std::make_unique<TWxLogTimer>(intervalMs, std::move(onTick));
}

// The logger's exception report: a modal error box with one OK button.
void ShowExceptionBox(const std::string& text) {
  wxString message = wxString::FromUTF8(text);
  message.Replace("\r\n", "\n");
  wxMessageBox(message, wxTheApp->GetAppDisplayName(), wxOK | wxICON_ERROR);
}

class TOrvaneApp : public wxApp {
 public:
  bool OnInit() override {
    SetAppName("OrvaneSupport");
    SetAppDisplayName("Orvane Support");
    // Before anything is shown, the logging help page included.
    {
      TCmdLineParaHandler handler(true, false);
      InstallTranslations(RequestedLanguage(handler));
    }
    // The logging unit may show its help page before the main window
    // exists, so the help dialog's view comes first.
    InstallWxHelpView();
    SetExceptionBoxHook(&ShowExceptionBox);
    SetShortcutLogoSource(&RenderLogoPng);
    fUnitsStarted = true;
    StartProgramUnits(&MakeWxLogTimer);
    auto* frame = new TMainFrame();
#ifdef __WXMSW__
    // The exe's own icons load at once.
    frame->SetIcons(ProgramIcons());
    frame->Show();
#else
    frame->Show();
    // Rendering the logo in all its sizes takes a good part of what the
    // window itself takes to appear: the icons follow once it is on screen
    // (a call that has not run yet goes with the frame).
    frame->CallAfter([frame] { frame->SetIcons(ProgramIcons()); });
#endif
    return true;
  }

  // The window is gone by now (the loop ends when it is destroyed).
  int OnExit() override {
    if (fUnitsStarted) StopProgramUnits();
    SetExceptionBoxHook({});
    RemoveTranslations();
    return wxApp::OnExit();
  }

 private:
  bool fUnitsStarted = false;
};

}  // namespace

wxIconBundle ProgramIcons() {
#ifdef __WXMSW__
  // The exe's own icon group, so that title bar, taskbar and Alt+Tab show
  // the same picture as Explorer, each in the size it asks for.
  return wxIconBundle("AAAA", nullptr);
#else
  wxIconBundle icons;
  const std::string svg(kLogoSvg);
  const wxBitmapBundle logo = wxBitmapBundle::FromSVG(svg.c_str(), wxSize(64, 64));
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    wxIcon icon;
    icon.CopyFromBitmap(logo.GetBitmap(wxSize(size, size)));
    if (icon.IsOk()) icons.AddIcon(icon);
  }
  return icons;
#endif
}

std::string RenderLogoPng() {
#if wxUSE_LIBPNG
  constexpr int kSize = 256;
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  const std::string svg(kLogoSvg);
  const wxBitmap bitmap =
      wxBitmapBundle::FromSVG(svg.c_str(), wxSize(kSize, kSize)).GetBitmap(wxSize(kSize, kSize));
  if (!bitmap.IsOk()) return {};
  wxMemoryOutputStream out;
  if (!bitmap.ConvertToImage().SaveFile(out, wxBITMAP_TYPE_PNG)) return {};
  std::string bytes(out.GetSize(), '\0');
  out.CopyTo(bytes.data(), bytes.size());
  return bytes;
#else
  // The Windows build's wx carries no PNG writer; shell links take their
  // picture from the program itself and never ask for this one.
  return {};
#endif
}

int RunOrvaneSupport(int argc, char** argv) {
  wxApp::SetInstance(new TOrvaneApp);
  return wxEntry(argc, argv);
}

}  // namespace orvane
