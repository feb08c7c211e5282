#include "app/MainForm_wx.h"

#include <wx/app.h>
#include <wx/bmpbndl.h>
#include <wx/bmpbuttn.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/translation.h>
#include <wx/utils.h>

#include <algorithm>
#include <string>

#include "app/Icons.h"
#include "system/SysUtils.h"

namespace orvane {

namespace {

wxString Wx(const std::string& text) { return wxString::FromUTF8(text); }

// Message texts carry Windows line breaks; GTK shows a CR as a glyph.
wxString BoxText(const std::string& text) {
  wxString s = Wx(text);
  s.Replace("\r\n", "\n");
  return s;
}

wxBitmapBundle Svg(std::string_view svg, int size) {
  const std::string text(svg);
  return wxBitmapBundle::FromSVG(text.c_str(), wxSize(size, size));
}

constexpr int kHoverPollMs = 50;

}  // namespace

// IMainFormView on top of the frame's controls.
class TMainFrame::TView : public IMainFormView {
 public:
  explicit TView(TMainFrame& frame) : f(frame) {}

  void SetStatusText(const std::string& text) override { f.SetStatusText(Wx(text)); }

  // Not wxSafeYield: that would switch the window off and swallow the very
  // input this is meant to let through. Nested yields are skipped.
  void ProcessPendingEvents() override { wxTheApp->Yield(true); }

  void ShowMessage(const std::string& text) override {
    wxMessageBox(BoxText(text), wxTheApp->GetAppDisplayName(), wxOK | wxICON_INFORMATION, &f);
  }
  bool Confirm(const std::string& text) override {
    return wxMessageBox(BoxText(text), wxTheApp->GetAppDisplayName(), wxOK | wxCANCEL | wxICON_QUESTION,
                        &f) == wxOK;
  }
  void ShowError(const std::string& text) override {
    wxMessageBox(BoxText(text), wxTheApp->GetAppDisplayName(), wxOK | wxICON_ERROR, &f);
  }

  void ClearOptions() override {
    // Emptying the list keeps the text the box shows.
    const wxString text = f.cbVersion->GetValue();
    f.cbVersion->wxItemContainer::Clear();
    if (f.cbVersion->GetValue() != text) f.cbVersion->ChangeValue(text);
  }
  void AddOption(const std::string& name) override { f.cbVersion->Append(Wx(name)); }
  int OptionCount() const override { return static_cast<int>(f.cbVersion->GetCount()); }
  void SelectOption(int index) override {
    f.cbVersion->SetSelection(index >= 0 && index < OptionCount() ? index : wxNOT_FOUND);
  }
  int SelectedOption() const override { return f.cbVersion->GetSelection(); }
  std::string OptionText() const override { return f.cbVersion->GetValue().utf8_string(); }
  void SetOptionText(const std::string& text) override { f.cbVersion->ChangeValue(Wx(text)); }

  bool IsChecked(TControlId box) const override {
    switch (box) {
      case TControlId::cbUseProxy:
        return f.cbUseProxy->GetValue();
      case TControlId::cbAutoClose:
        return f.cbAutoClose->GetValue();
      case TControlId::cbProxyAutoConfig:
        return f.cbProxyAutoConfig->GetValue();
      default:
        return false;
    }
  }

  std::string ProxyText() const override { return f.edtProxyIP->GetValue().utf8_string(); }
  void SetProxyText(const std::string& text) override { f.edtProxyIP->ChangeValue(Wx(text)); }
  void SetProxyEnabled(bool enabled) override { f.edtProxyIP->Enable(enabled); }
  void SetProxyGroupVisible(bool visible) override {
    f.pnlMain->GetSizer()->Show(f.grpInternet->GetContainingSizer(), visible, true);
    f.pnlMain->Layout();
  }

  void SetWindowHeight(int designHeight) override {
    f.fDesignHeight = designHeight;
    f.ApplyHeight();
  }
  void SetTitle(const std::string& title) override { f.SetTitle(Wx(title)); }
  void Close() override { f.Close(); }
  void SetInputEnabled(bool enabled) override {
    f.btnShutdown->Enable(enabled);
    f.btnDownload->Enable(enabled);
    f.btnInstallShortcut->Enable(enabled);
  }
  void SetCancelVisible(bool visible) override {
    // The button gets a panel of its own beside the status text, so that a
    // long progress text is not hidden under it.
    wxStatusBar* bar = f.GetStatusBar();
    if (visible) {
      const int widths[] = {-1, f.btnCancelDownload->GetBestSize().x + f.FromDIP(8)};
      bar->SetFieldsCount(2, widths);
      f.PlaceCancelButton();
    } else {
      bar->SetFieldsCount(1);
    }
    f.btnCancelDownload->Show(visible);
    // The pressed button is switched off meanwhile and loses the focus;
    // Cancel takes it, so that the keyboard still reaches the window
    // (Escape, or Space on the button).
    const wxWindow* focus = wxWindow::FindFocus();
    if (visible && (!focus || !focus->IsEnabled())) f.btnCancelDownload->SetFocus();
  }

 private:
  TMainFrame& f;
};

template <typename F>
void TMainFrame::Forward(F&& call) {
  call();
  if (fClosePending && !fForm->IsBusy()) {
    fClosePending = false;
    Close();
  }
}

TMainFrame::TMainFrame(TMainFormOptions options)
    : wxFrame(nullptr, wxID_ANY, "Orvane Support", wxDefaultPosition, wxDefaultSize,
              wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX, "MainForm") {
  CreateControls();
  LayoutControls();
  fView = std::make_unique<TView>(*this);
  fForm = std::make_unique<TMainForm>(*fView, std::move(options));
  BindEvents();
  fForm->FormCreate();
  Centre();
  SetShellOwnerWindow(GetHandle());
}

TMainFrame::~TMainFrame() {
  if (ShellOwnerWindow() == GetHandle()) SetShellOwnerWindow(nullptr);
}

void TMainFrame::CreateControls() {
  wxStatusBar* stat1 = CreateStatusBar(1, wxSTB_DEFAULT_STYLE & ~wxSTB_SIZEGRIP, wxID_ANY, "stat1");
  stat1->SetFieldsCount(1);
  // Shown in a second panel at the right end of the status bar while a
  // download runs.
  btnCancelDownload = new wxButton(stat1, wxID_ANY, _("Cancel"), wxDefaultPosition, wxDefaultSize,
                                   wxBU_EXACTFIT, wxDefaultValidator, "btnCancelDownload");
  btnCancelDownload->Hide();

  pnlMain = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "pnlMain");

  // Pictures and the caption take no focus.
  imgOrvane = new wxStaticBitmap(pnlMain, wxID_ANY, Svg(kLogoSvg, 57), wxDefaultPosition,
                                 FromDIP(wxSize(57, 57)), 0, "imgOrvane");
  lblOrvaneTV = new wxStaticText(pnlMain, wxID_ANY, "Orvane Remote Support", wxDefaultPosition, wxDefaultSize,
                                 0, "lblOrvaneTV");
  wxFont caption = lblOrvaneTV->GetFont();
  caption.SetFractionalPointSize(caption.GetFractionalPointSize() * 1.6);
  lblOrvaneTV->SetFont(caption);

  // The focusable controls are created in tab order.
  btnShutdown = new wxBitmapButton(pnlMain, wxID_ANY, Svg(kIconPlaySvg, 32), wxDefaultPosition, wxDefaultSize,
                                   wxBU_AUTODRAW, wxDefaultValidator, "btnShutdown");
  grpInternet = new wxStaticBox(pnlMain, wxID_ANY, _("Internet Settings"), wxDefaultPosition, wxDefaultSize,
                                0, "grpInternet");
  lblProxyIP = new wxStaticText(grpInternet, wxID_ANY, _("Proxy Server Address (IP:Port)"), wxDefaultPosition,
                                wxDefaultSize, 0, "edtProxyIPLabel");
  edtProxyIP = new wxTextCtrl(grpInternet, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, 0,
                              wxDefaultValidator, "edtProxyIP");
  cbProxyAutoConfig = new wxCheckBox(grpInternet, wxID_ANY, _("Auto Config Proxy (WPAD)"), wxDefaultPosition,
                                     wxDefaultSize, 0, wxDefaultValidator, "cbProxyAutoConfig");
  cbUseProxy = new wxCheckBox(pnlMain, wxID_ANY, _("Use Proxy"), wxDefaultPosition, wxDefaultSize, 0,
                              wxDefaultValidator, "cbUseProxy");
  cbVersion = new wxComboBox(pnlMain, wxID_ANY, "cbVersion", wxDefaultPosition, wxDefaultSize, 0, nullptr,
                             wxCB_DROPDOWN, wxDefaultValidator, "cbVersion");
  btnDownload = new wxBitmapButton(pnlMain, wxID_ANY, Svg(kIconDownloadSvg, 32), wxDefaultPosition,
                                   wxDefaultSize, wxBU_AUTODRAW, wxDefaultValidator, "btnDownload");
  cbAutoClose = new wxCheckBox(pnlMain, wxID_ANY, _("Auto Close When Done"), wxDefaultPosition, wxDefaultSize,
                               0, wxDefaultValidator, "cbAutoClose");
  cbAutoClose->SetValue(true);
  btnInstallShortcut =
      new wxBitmapButton(pnlMain, wxID_ANY, Svg(kIconLinkSvg, 32), wxDefaultPosition, wxDefaultSize,
                         wxBU_AUTODRAW, wxDefaultValidator, "btnInstallShortcut");
}

// The arrangement follows the design grid (96 DPI) but lets each control
// take the room the platform's own controls need, which on GTK is more than
// the design sizes. Design distances are kept as gaps and minimum sizes.
void TMainFrame::LayoutControls() {
  const auto dip = [this](int v) { return FromDIP(v); };

  auto* header = new wxBoxSizer(wxHORIZONTAL);
  header->Add(imgOrvane, wxSizerFlags().Border(wxLEFT, dip(4)));
  header->AddSpacer(dip(35));
  header->Add(lblOrvaneTV, wxSizerFlags().CenterVertical());

  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  buttons->AddSpacer(dip(44));
  buttons->Add(btnInstallShortcut);
  buttons->AddSpacer(dip(8));
  buttons->Add(btnDownload);
  buttons->AddSpacer(dip(6));
  buttons->Add(btnShutdown);

  auto* options = new wxBoxSizer(wxVERTICAL);
  options->Add(cbVersion, wxSizerFlags().Expand());
  options->AddSpacer(dip(4));
  options->Add(cbUseProxy);
  options->Add(cbAutoClose);

  auto* middle = new wxBoxSizer(wxHORIZONTAL);
  middle->Add(buttons, wxSizerFlags().Top());
  middle->AddSpacer(dip(15));
  middle->Add(options, wxSizerFlags(1));

  auto* group = new wxStaticBoxSizer(grpInternet, wxVERTICAL);
  group->Add(cbProxyAutoConfig, wxSizerFlags().Border(wxLEFT | wxTOP, dip(6)));
  group->AddSpacer(dip(10));
  group->Add(lblProxyIP, wxSizerFlags().Border(wxLEFT | wxRIGHT, dip(6)));
  group->Add(edtProxyIP, wxSizerFlags().Expand().Border(wxLEFT | wxRIGHT | wxBOTTOM, dip(6)));

  auto* main = new wxBoxSizer(wxVERTICAL);
  main->Add(header, wxSizerFlags().Border(wxTOP, dip(5)));
  main->AddSpacer(dip(6));
  main->Add(middle, wxSizerFlags().Expand().Border(wxRIGHT, dip(15)));
  main->Add(group, wxSizerFlags().Expand().Border(wxLEFT | wxRIGHT | wxTOP, dip(10)));
  main->AddSpacer(dip(10));
  pnlMain->SetSizer(main);

  // Design sizes are minimums; the platform's controls may need more.
  const auto atLeast = [this](wxWindow* w, int width, int height) {
    const wxSize best = w->GetBestSize();
    w->SetMinSize(wxSize(std::max(best.x, FromDIP(width)), std::max(best.y, FromDIP(height))));
  };
  atLeast(btnInstallShortcut, 44, 44);
  atLeast(btnDownload, 42, 44);
  atLeast(btnShutdown, 51, 44);
  atLeast(cbVersion, 135, 21);
  atLeast(cbUseProxy, 135, 17);
  atLeast(cbAutoClose, 142, 17);
  atLeast(edtProxyIP, 297, 21);

  // A first measure of the expanded layout; it is taken again once the
  // group is on screen.
  fExpandedClientHeight = main->GetMinSize().y;
  fClientWidth = main->GetMinSize().x;
  main->Show(group, false);
  ApplyHeight();
}

void TMainFrame::Measure() {
  // The sizer counts only what is shown, so each state's height is measured
  // while the window is in it; the other keeps its last measure.
  wxSizer* main = pnlMain->GetSizer();
  const wxSize now = main->GetMinSize();
  if (main->IsShown(grpInternet->GetContainingSizer())) {
    fExpandedClientHeight = now.y;
  } else {
    fCollapsedClientHeight = now.y;
  }
  fClientWidth = std::max({fClientWidth, FromDIP(360), now.x});
}

void TMainFrame::ApplyHeight() {
  FitToHeight();
  // GTK learns the final sizes of controls that have just been shown only
  // once they are on screen: fit once more after that.
  if (!fRefitPending) {
    fRefitPending = true;
    CallAfter([this] {
      fRefitPending = false;
      FitToHeight();
    });
  }
}

void TMainFrame::FitToHeight() {
  Measure();
  const wxSize size(fClientWidth, ClientHeightFor(fDesignHeight));
  // The user cannot resize the frame: its limits follow each change.
  SetMinClientSize(wxDefaultSize);
  SetMaxClientSize(wxDefaultSize);
  SetClientSize(size);
  SetMinClientSize(size);
  SetMaxClientSize(size);
  pnlMain->Layout();
}

int TMainFrame::ClientHeightFor(int designHeight) const {
  // Linear between the two design heights, which map onto the collapsed and
  // the expanded layout.
  const int span = fExpandedClientHeight - fCollapsedClientHeight;
  const int h = fCollapsedClientHeight +
                (designHeight - kCollapsedHeight) * span / (kExpandedHeight - kCollapsedHeight);
  return std::max(h, FromDIP(40));
}

void TMainFrame::BindEvents() {
  const auto click = [this](wxWindow* control, const wxEventTypeTag<wxCommandEvent>& type, TControlId id) {
    control->Bind(type, [this, id](wxCommandEvent&) { Forward([this, id] { fForm->Click(id); }); });
  };
  click(btnShutdown, wxEVT_BUTTON, TControlId::btnShutdown);
  click(btnDownload, wxEVT_BUTTON, TControlId::btnDownload);
  click(btnInstallShortcut, wxEVT_BUTTON, TControlId::btnInstallShortcut);
  click(cbUseProxy, wxEVT_CHECKBOX, TControlId::cbUseProxy);
  click(cbProxyAutoConfig, wxEVT_CHECKBOX, TControlId::cbProxyAutoConfig);

  fHintControls = {{btnShutdown, TControlId::btnShutdown},
                   {btnDownload, TControlId::btnDownload},
                   {btnInstallShortcut, TControlId::btnInstallShortcut},
                   {cbVersion, TControlId::cbVersion},
                   {cbUseProxy, TControlId::cbUseProxy},
                   {cbAutoClose, TControlId::cbAutoClose},
                   {cbProxyAutoConfig, TControlId::cbProxyAutoConfig},
                   {edtProxyIP, TControlId::edtProxyIP}};
  fHoverTimer.SetOwner(this);
  Bind(wxEVT_TIMER, &TMainFrame::OnHoverTimer, this, fHoverTimer.GetId());
  fHoverTimer.Start(kHoverPollMs);

  btnCancelDownload->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { fForm->CancelDownload(); });
  GetStatusBar()->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    PlaceCancelButton();
    event.Skip();
  });
  Bind(wxEVT_CHAR_HOOK, &TMainFrame::OnCharHook, this);
  Bind(wxEVT_CLOSE_WINDOW, &TMainFrame::OnClose, this);
  Bind(wxEVT_ACTIVATE, &TMainFrame::OnActivate, this);
  // Measured again once on screen, where GTK knows the controls' real sizes.
  Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
    if (event.IsShown()) ApplyHeight();
    event.Skip();
  });
}

std::optional<TControlId> TMainFrame::HintControlAt(const wxPoint& screenPoint) const {
  for (wxWindow* w = wxFindWindowAtPoint(screenPoint); w && w != this; w = w->GetParent()) {
    for (const auto& [control, id] : fHintControls) {
      if (control == w) return id;
    }
  }
  return std::nullopt;
}

// Hints follow the pointer by looking where it is rather than by enter and
// leave events: GTK builds the option box and the edit from several native
// parts and reports a leave when the pointer moves between them (and no
// enter for the drop-down button), so the events alone lose the hint inside
// the control.
void TMainFrame::OnHoverTimer(wxTimerEvent&) {
  const std::optional<TControlId> now =
      IsShownOnScreen() ? HintControlAt(wxGetMousePosition()) : std::nullopt;
  if (now == fHovered) return;
  if (fHovered) fForm->ControlMouseLeave(*fHovered);
  fHovered = now;
  if (fHovered) fForm->ControlMouseEnter(*fHovered);
}

void TMainFrame::PlaceCancelButton() {
  wxStatusBar* bar = GetStatusBar();
  wxRect field;
  if (bar->GetFieldsCount() < 2 || !bar->GetFieldRect(1, field)) return;
  const wxSize best = btnCancelDownload->GetBestSize();
  const int height = std::min(best.y, bar->GetClientSize().y);
  btnCancelDownload->SetSize(field.x + (field.width - best.x) / 2, (bar->GetClientSize().y - height) / 2,
                             best.x, height);
}

void TMainFrame::OnCharHook(wxKeyEvent& event) {
  // Escape gives up on a running download; otherwise keys go their way.
  if (event.GetKeyCode() == WXK_ESCAPE && fForm->IsDownloading()) {
    fForm->CancelDownload();
    return;
  }
  event.Skip();
}

void TMainFrame::OnClose(wxCloseEvent& event) {
  // A handler still on the stack uses this window: close once it is done.
  // Its download is cancelled (and any it would start next), so that this
  // is soon.
  if (fForm->IsBusy() && event.CanVeto()) {
    event.Veto();
    fClosePending = true;
    fForm->CancelForClose();
    return;
  }
  event.Skip();
}

void TMainFrame::OnActivate(wxActivateEvent& event) {
  // Started after the activation has been handled, so that its message
  // boxes do not open inside the toolkit's focus change.
  if (event.GetActive()) CallAfter([this] { Forward([this] { fForm->Activated(); }); });
  event.Skip();
}

}  // namespace orvane
