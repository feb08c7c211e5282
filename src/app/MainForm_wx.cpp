#include "app/MainForm_wx.h"

#include <wx/anybutton.h>
#include <wx/app.h>
#include <wx/appprogress.h>
#include <wx/bmpbndl.h>
#include <wx/bmpbuttn.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/gauge.h>
#include <wx/intl.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/translation.h>
#include <wx/utils.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

#include "app/Accessible_wx.h"
#include "app/HighContrast.h"
#include "app/IconColours.h"
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

TRgb Rgb(const wxColour& c) { return {c.Red(), c.Green(), c.Blue()}; }

// An icon of a button in its own colours, or in the theme's button text
// colour where those would not stand out: on a high-contrast theme, and on
// a dark one where the grey and blue parts fade into the face.
wxBitmapBundle ThemedIcon(std::string_view svg) {
  const std::string_view icons[] = {kIconPlaySvg, kIconDownloadSvg, kIconLinkSvg};
  const wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
  if (!IconsNeedTextColour(icons, Rgb(face), SystemHighContrast())) return Svg(svg, 32);
  return Svg(SvgInColour(svg, Rgb(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT))), 32);
}

constexpr int kHoverPollMs = 50;

// Steps of the progress bar and the taskbar button's progress.
constexpr int kProgressRange = 1000;

}  // namespace

// IMainFormView on top of the frame's controls.
class TMainFrame::TView : public IMainFormView {
 public:
  explicit TView(TMainFrame& frame) : f(frame) {}

  void SetStatusText(const std::string& text) override {
    f.SetStatusText(Wx(text));
    f.UpdateStatusTip();
  }

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
    // A button switched off loses the keyboard focus; it gets it back when
    // the handler is done, unless the user has put it elsewhere meanwhile.
    wxWindow* focus = wxWindow::FindFocus();
    wxWindow* const buttons[] = {f.btnShutdown, f.btnDownload, f.btnInstallShortcut};
    if (!enabled) {
      const bool onButton = std::find(std::begin(buttons), std::end(buttons), focus) != std::end(buttons);
      f.fFocusBeforeBusy = onButton ? focus : nullptr;
    }
    for (wxWindow* button : buttons) button->Enable(enabled);
    if (enabled && f.fFocusBeforeBusy) {
      focus = wxWindow::FindFocus();
      if (!focus || focus == f.btnCancelDownload || !f.IsDescendant(focus)) f.fFocusBeforeBusy->SetFocus();
      f.fFocusBeforeBusy = nullptr;
    }
  }
  void SetCancelVisible(bool visible) override {
    // The bar and the button get panels of their own beside the status
    // text, so that a long progress text is not hidden under them. The bar
    // is as wide as a few characters, so that it grows with the text.
    wxStatusBar* bar = f.GetStatusBar();
    if (visible) {
      const int widths[] = {-1, 8 * bar->GetCharHeight(),
                            f.btnCancelDownload->GetBestSize().x + f.FromDIP(8)};
      bar->SetFieldsCount(3, widths);
      f.gauDownload->Pulse();
      f.fTaskbarProgress = std::make_unique<wxAppProgressIndicator>(&f, kProgressRange);
      f.fTaskbarProgress->Pulse();
    } else {
      bar->SetFieldsCount(1);
      f.fTaskbarProgress.reset();
    }
    f.gauDownload->Show(visible);
    f.btnCancelDownload->Show(visible);
    f.PlaceDownloadControls();
    f.UpdateStatusTip();
    // The pressed button is switched off meanwhile and loses the focus;
    // Cancel takes it, so that the keyboard still reaches the window
    // (Escape, or Space on the button).
    const wxWindow* focus = wxWindow::FindFocus();
    if (visible && (!focus || !focus->IsEnabled())) f.btnCancelDownload->SetFocus();
  }
  void SetProgress(std::optional<double> fraction) override {
    if (fraction) {
      const int value = static_cast<int>(std::lround(std::clamp(*fraction, 0.0, 1.0) * kProgressRange));
      f.gauDownload->SetValue(value);
      if (f.fTaskbarProgress) f.fTaskbarProgress->SetValue(value);
    } else {
      f.gauDownload->Pulse();
      if (f.fTaskbarProgress) f.fTaskbarProgress->Pulse();
    }
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
  DescribeControls();
  fForm->FormCreate();
  Centre();
  SetShellOwnerWindow(GetHandle());
}

TMainFrame::~TMainFrame() {
  if (ShellOwnerWindow() == GetHandle()) SetShellOwnerWindow(nullptr);
}

void TMainFrame::CreateControls() {
  // A text too long for the bar ends in an ellipsis; the frame itself then
  // makes the whole text the bar's tooltip (UpdateStatusTip), which the
  // toolkit's own tips would not do for a text set by the program.
  wxStatusBar* stat1 =
      CreateStatusBar(1, wxSTB_DEFAULT_STYLE & ~(wxSTB_SIZEGRIP | wxSTB_SHOW_TIPS), wxID_ANY, "stat1");
  stat1->SetFieldsCount(1);
  // The Cancel button and the progress bar are shown in panels of their own
  // at the right end of the status bar while a download runs.
  btnCancelDownload = new wxButton(stat1, wxID_ANY, _("Cancel"), wxDefaultPosition, wxDefaultSize,
                                   wxBU_EXACTFIT, wxDefaultValidator, "btnCancelDownload");
  btnCancelDownload->Hide();
  gauDownload = new wxGauge(stat1, wxID_ANY, kProgressRange, wxDefaultPosition, wxDefaultSize,
                            wxGA_HORIZONTAL | wxGA_SMOOTH, wxDefaultValidator, "gauDownload");
  gauDownload->Hide();

  pnlMain = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "pnlMain");

  // The window's own keys walk the focusable controls in the order of
  // fTabOrder. Creation order matters to GTK in one more way: a text is the
  // label of the focusable control created after it. The group and the
  // caption therefore come after the controls outside the group, so that
  // neither names one of them.
  btnShutdown = new wxBitmapButton(pnlMain, wxID_ANY, ThemedIcon(kIconPlaySvg), wxDefaultPosition,
                                   wxDefaultSize, wxBU_AUTODRAW, wxDefaultValidator, "btnShutdown");
  cbUseProxy = new wxCheckBox(pnlMain, wxID_ANY, _("&Use Proxy"), wxDefaultPosition, wxDefaultSize, 0,
                              wxDefaultValidator, "cbUseProxy");
  cbVersion = new wxComboBox(pnlMain, wxID_ANY, "cbVersion", wxDefaultPosition, wxDefaultSize, 0, nullptr,
                             wxCB_DROPDOWN, wxDefaultValidator, "cbVersion");
  btnDownload = new wxBitmapButton(pnlMain, wxID_ANY, ThemedIcon(kIconDownloadSvg), wxDefaultPosition,
                                   wxDefaultSize, wxBU_AUTODRAW, wxDefaultValidator, "btnDownload");
  cbAutoClose = new wxCheckBox(pnlMain, wxID_ANY, _("&Auto Close When Done"), wxDefaultPosition,
                               wxDefaultSize, 0, wxDefaultValidator, "cbAutoClose");
  cbAutoClose->SetValue(true);
  btnInstallShortcut =
      new wxBitmapButton(pnlMain, wxID_ANY, ThemedIcon(kIconLinkSvg), wxDefaultPosition, wxDefaultSize,
                         wxBU_AUTODRAW, wxDefaultValidator, "btnInstallShortcut");
  grpInternet = new wxStaticBox(pnlMain, wxID_ANY, _("Internet Settings"), wxDefaultPosition, wxDefaultSize,
                                0, "grpInternet");
  // The label names the entry after it and moves the focus there (Alt+P).
  lblProxyIP = new wxStaticText(grpInternet, wxID_ANY, _("&Proxy Server Address (IP:Port)"),
                                wxDefaultPosition, wxDefaultSize, 0, "edtProxyIPLabel");
  edtProxyIP = new wxTextCtrl(grpInternet, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, 0,
                              wxDefaultValidator, "edtProxyIP");
  cbProxyAutoConfig = new wxCheckBox(grpInternet, wxID_ANY, _("Auto &Config Proxy (WPAD)"), wxDefaultPosition,
                                     wxDefaultSize, 0, wxDefaultValidator, "cbProxyAutoConfig");

  // Pictures and the caption take no focus.
  imgOrvane = new wxStaticBitmap(pnlMain, wxID_ANY, Svg(kLogoSvg, 57), wxDefaultPosition,
                                 FromDIP(wxSize(57, 57)), 0, "imgOrvane");
  lblOrvaneTV = new wxStaticText(pnlMain, wxID_ANY, "Orvane Remote Support", wxDefaultPosition, wxDefaultSize,
                                 0, "lblOrvaneTV");
  wxFont caption = lblOrvaneTV->GetFont();
  caption.SetFractionalPointSize(caption.GetFractionalPointSize() * 1.6);
  lblOrvaneTV->SetFont(caption);

  fTabOrder = {btnShutdown, edtProxyIP,  cbProxyAutoConfig, cbUseProxy,
               cbVersion,   btnDownload, cbAutoClose,       btnInstallShortcut};
  // Return starts the selected option.
  btnShutdown->SetDefault();
}

void TMainFrame::DescribeControls() {
  // Every control with a hint shows it as its tooltip and offers it to
  // screen readers as its description. The icon buttons, the option box and
  // the logo have no text of their own that says what they are.
  const auto hint = [](TControlId id) { return wxGetTranslation(Wx(TMainForm::HintFor(id))); };
  for (const auto& [control, id] : fHintControls) control->SetToolTip(hint(id));
  SetAccessibleText(btnShutdown, _("Start remote support"), hint(TControlId::btnShutdown));
  SetAccessibleText(btnDownload, _("Download the option list again"), hint(TControlId::btnDownload));
  SetAccessibleText(btnInstallShortcut, _("Create desktop shortcut"), hint(TControlId::btnInstallShortcut));
  SetAccessibleText(cbVersion, _("Remote support tool"), hint(TControlId::cbVersion));
  SetAccessibleText(imgOrvane, _("Orvane Support"), wxString());
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

  fDesignSizes = {{btnInstallShortcut, 44, 44}, {btnDownload, 42, 44}, {btnShutdown, 51, 44},
                  {cbVersion, 135, 21},         {cbUseProxy, 135, 17}, {cbAutoClose, 142, 17},
                  {edtProxyIP, 297, 21}};
  ApplyMinSizes();

  // A first measure of the expanded layout; it is taken again once the
  // group is on screen.
  fExpandedClientHeight = main->GetMinSize().y;
  fClientWidth = main->GetMinSize().x;
  main->Show(group, false);
  ApplyHeight();
}

void TMainFrame::ApplyMinSizes() {
  // Design sizes are minimums; the platform's controls may need more, and
  // how much changes with the text size and once GTK has them on screen. So
  // the minimum is worked out afresh from what the control asks for now,
  // never kept from an earlier measure.
  // An entry field also keeps a line of text and a margin: GTK raises its own
  // idea of the height only some time after the field is on screen, and
  // until then a large font would be cut off.
  for (const auto& [control, width, height] : fDesignSizes) {
    control->SetMinSize(wxDefaultSize);
    control->InvalidateBestSize();
    const wxSize best = control->GetBestSize();
    const int line = dynamic_cast<wxTextEntry*>(control) ? control->GetCharHeight() + FromDIP(6) : 0;
    control->SetMinSize(wxSize(std::max(best.x, FromDIP(width)), std::max({best.y, FromDIP(height), line})));
  }
}

void TMainFrame::Measure() {
  // The sizer counts only what is shown, so each state's height is measured
  // while the window is in it; the other keeps its last measure.
  ApplyMinSizes();
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
  // The keyboard shows the same hints as the pointer. Focus that comes back
  // to the same control (after a message box closed, say) leaves the status
  // text alone, so that a workflow's last message stays readable.
  for (const auto& [control, id] : fHintControls) {
    control->Bind(wxEVT_SET_FOCUS, [this, id = id](wxFocusEvent& event) {
      if (fFocused != id) {
        fFocused = id;
        fForm->ControlMouseEnter(id);
      }
      event.Skip();
    });
  }
  cbVersion->Bind(wxEVT_COMBOBOX_DROPDOWN, [this](wxCommandEvent& event) {
    fOptionsDropped = true;
    event.Skip();
  });
  cbVersion->Bind(wxEVT_COMBOBOX_CLOSEUP, [this](wxCommandEvent& event) {
    fOptionsDropped = false;
    event.Skip();
  });
  fHoverTimer.SetOwner(this);
  Bind(wxEVT_TIMER, &TMainFrame::OnHoverTimer, this, fHoverTimer.GetId());
  fHoverTimer.Start(kHoverPollMs);

  btnCancelDownload->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { fForm->CancelDownload(); });
  GetStatusBar()->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    PlaceDownloadControls();
    // Not while GTK lays the bar out, which a tooltip change would upset.
    CallAfter([this] { UpdateStatusTip(); });
    event.Skip();
  });
  // A new theme (high contrast switched on or off) brings new colours for
  // the icons.
  Bind(wxEVT_SYS_COLOUR_CHANGED, [this](wxSysColourChangedEvent& event) {
    btnShutdown->SetBitmap(ThemedIcon(kIconPlaySvg));
    btnDownload->SetBitmap(ThemedIcon(kIconDownloadSvg));
    btnInstallShortcut->SetBitmap(ThemedIcon(kIconLinkSvg));
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

void TMainFrame::PlaceDownloadControls() {
  wxStatusBar* bar = GetStatusBar();
  wxRect gaugeField;
  wxRect cancelField;
  if (bar->GetFieldsCount() < 3 || !bar->GetFieldRect(1, gaugeField) || !bar->GetFieldRect(2, cancelField))
    return;
  const int barHeight = bar->GetClientSize().y;
  const int gaugeHeight = std::min(gaugeField.height, std::max(gauDownload->GetBestSize().y, barHeight / 2));
  gauDownload->SetSize(gaugeField.x, (barHeight - gaugeHeight) / 2, gaugeField.width, gaugeHeight);
  const wxSize best = btnCancelDownload->GetBestSize();
  const int height = std::min(best.y, barHeight);
  btnCancelDownload->SetSize(cancelField.x + (cancelField.width - best.x) / 2, (barHeight - height) / 2,
                             best.x, height);
}

void TMainFrame::UpdateStatusTip() {
  // The bar shortens a text too long for its panel with an ellipsis; the
  // whole text is then its tooltip.
  wxStatusBar* bar = GetStatusBar();
  const wxString text = bar->GetStatusText(0);
  wxRect field;
  const bool cut =
      !text.empty() && bar->GetFieldRect(0, field) && bar->GetTextExtent(text).x + FromDIP(8) > field.width;
  if (cut && bar->GetToolTipText() != text) bar->SetToolTip(text);
  if (!cut && bar->GetToolTip()) bar->UnsetToolTip();
}

void TMainFrame::OnCharHook(wxKeyEvent& event) {
  // Escape gives up on a running download and does nothing else: the
  // window is a frame, not a dialog, and never closes on a key.
  const int key = event.GetKeyCode();
  if (key == WXK_ESCAPE && fForm->IsDownloading()) {
    fForm->CancelDownload();
    return;
  }
  const int modifiers = event.GetModifiers();
  if (key == WXK_TAB && (modifiers == wxMOD_NONE || modifiers == wxMOD_SHIFT) &&
      MoveFocus(modifiers == wxMOD_NONE)) {
    return;
  }
  // Return starts the selected option, as the default button of a dialog
  // would, unless a button has the focus (it presses that one) or the option
  // box's list is open (it picks the entry).
  if ((key == WXK_RETURN || key == WXK_NUMPAD_ENTER) && modifiers == wxMOD_NONE && !fOptionsDropped &&
      btnShutdown->IsEnabled()) {
    wxWindow* focus = wxWindow::FindFocus();
    if (focus && !dynamic_cast<wxAnyButton*>(focus) && IsDescendant(focus)) {
      Forward([this] { fForm->Click(TControlId::btnShutdown); });
      return;
    }
  }
  event.Skip();
}

bool TMainFrame::MoveFocus(bool forward) {
  // The control that has the focus, or holds the native part that has it.
  const auto current = [this]() -> std::optional<std::size_t> {
    for (wxWindow* w = wxWindow::FindFocus(); w && w != this; w = w->GetParent()) {
      const auto at = std::find(fTabOrder.begin(), fTabOrder.end(), w);
      if (at != fTabOrder.end()) return static_cast<std::size_t>(at - fTabOrder.begin());
    }
    return std::nullopt;
  }();
  // Elsewhere (the Cancel button in the status bar) the toolkit moves on.
  if (!current) return false;
  const std::size_t n = fTabOrder.size();
  for (std::size_t step = 1; step < n; ++step) {
    wxWindow* next = fTabOrder[(*current + (forward ? step : n - step)) % n];
    if (next->IsShownOnScreen() && next->IsEnabled()) {
      next->SetFocus();
      return true;
    }
  }
  return true;
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
  if (event.GetActive()) {
    CallAfter([this] {
      // The window opens with the focus on the start button; later the
      // toolkit gives the focus back to where it was.
      if (!fFocusPlaced) {
        fFocusPlaced = true;
        btnShutdown->SetFocus();
      }
      Forward([this] { fForm->Activated(); });
    });
  }
  event.Skip();
}

}  // namespace orvane
