// The assistant's main window in wxWidgets: lays out the controls, forwards
// their events to TMainForm and shows what TMainForm asks for. Nothing else
// happens here.
#pragma once

#include <wx/frame.h>
#include <wx/timer.h>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/MainForm.h"

class wxBitmapButton;
class wxButton;
class wxCheckBox;
class wxComboBox;
class wxGauge;
class wxAppProgressIndicator;
class wxStaticBitmap;
class wxStaticBox;
class wxStaticText;
class wxTextCtrl;
class wxPanel;

namespace orvane {

class TMainFrame : public wxFrame {
 public:
  explicit TMainFrame(TMainFormOptions options = {});
  ~TMainFrame() override;

  TMainForm& Form() { return *fForm; }

  // The window's client height for a design height (kCollapsedHeight or
  // kExpandedHeight, or one between them).
  int ClientHeightFor(int designHeight) const;

 private:
  class TView;
  friend class TView;

  void CreateControls();
  // Tooltips, and the names and descriptions screen readers read.
  void DescribeControls();
  void LayoutControls();
  // Gives each control with a design size at least that size and at least
  // what it asks for now.
  void ApplyMinSizes();
  // Sizes the controls and works out the collapsed and expanded heights.
  void Measure();
  // Gives the frame the client size for fDesignHeight, now and again once
  // the toolkit has caught up.
  void ApplyHeight();
  void FitToHeight();
  void BindEvents();
  // The control under the pointer, if it is one with a hint.
  std::optional<TControlId> HintControlAt(const wxPoint& screenPoint) const;
  void OnHoverTimer(wxTimerEvent& event);
  // Runs a TMainForm entry point and carries out a close that was asked for
  // while it ran.
  template <typename F>
  void Forward(F&& call);
  void OnClose(wxCloseEvent& event);
  void OnActivate(wxActivateEvent& event);
  void OnCharHook(wxKeyEvent& event);
  // Moves the keyboard focus to the next (or previous) control of
  // fTabOrder that can take it; false when the focus is on none of them.
  bool MoveFocus(bool forward);
  // Keeps the progress bar and the Cancel button in their status bar panels.
  void PlaceDownloadControls();
  // The status text as the status bar's tooltip while it is cut short.
  void UpdateStatusTip();

  std::unique_ptr<TView> fView;
  std::unique_ptr<TMainForm> fForm;
  bool fClosePending = false;
  std::vector<std::pair<wxWindow*, TControlId>> fHintControls;
  wxTimer fHoverTimer;
  std::optional<TControlId> fHovered;
  // The control whose hint the keyboard focus showed last.
  std::optional<TControlId> fFocused;
  bool fOptionsDropped = false;
  bool fFocusPlaced = false;
  // The button that had the focus when a handler switched the buttons off.
  wxWindow* fFocusBeforeBusy = nullptr;
  // The focusable controls in the order Tab walks them.
  std::vector<wxWindow*> fTabOrder;
  int fDesignHeight = kCollapsedHeight;
  bool fRefitPending = false;
  int fClientWidth = 0;
  int fCollapsedClientHeight = 0;
  int fExpandedClientHeight = 0;
  struct TDesignSize {
    wxWindow* control;
    int width;
    int height;
  };
  std::vector<TDesignSize> fDesignSizes;
  // The taskbar button's progress while a download runs (Windows).
  std::unique_ptr<wxAppProgressIndicator> fTaskbarProgress;

  wxPanel* pnlMain = nullptr;
  wxStaticBitmap* imgOrvane = nullptr;
  wxStaticText* lblOrvaneTV = nullptr;
  wxBitmapButton* btnInstallShortcut = nullptr;
  wxBitmapButton* btnDownload = nullptr;
  wxBitmapButton* btnShutdown = nullptr;
  wxComboBox* cbVersion = nullptr;
  wxCheckBox* cbUseProxy = nullptr;
  wxCheckBox* cbAutoClose = nullptr;
  wxStaticBox* grpInternet = nullptr;
  wxCheckBox* cbProxyAutoConfig = nullptr;
  wxStaticText* lblProxyIP = nullptr;
  wxTextCtrl* edtProxyIP = nullptr;
  wxButton* btnCancelDownload = nullptr;
  wxGauge* gauDownload = nullptr;
};

}  // namespace orvane
