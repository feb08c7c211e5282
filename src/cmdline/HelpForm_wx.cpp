#include "cmdline/HelpForm_wx.h"

#include <wx/app.h>
#include <wx/bmpbndl.h>
#include <wx/display.h>
#include <wx/sizer.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include "cmdline/RtfToHtml.h"

namespace orvane {

namespace {

constexpr int StripHeight = 42;
constexpr int GlyphSize = 32;

// A black check mark on a transparent 32 x 32 square.
constexpr const char* CheckMarkSvg =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
<path d="M6 17.5 L13 24.5 L26.5 8.5" fill="none" stroke="#000000" stroke-width="4"
 stroke-linecap="round" stroke-linejoin="round"/>
</svg>)";

wxString Utf8(const std::string& text) { return wxString::FromUTF8(text.data(), text.size()); }

// wxHtmlWindow draws tables without any rules unless asked; the help page's
// tables read better with them.
wxString WithTableRules(wxString html) {
  html.Replace("<table>", "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\">");
  return html;
}

class TWxHelpView : public IHelpView {
 public:
  explicit TWxHelpView(THelpForm& form) : FForm(form), FDialog(new THelpDialog(form)) {}

  ~TWxHelpView() override {
    if (!FDialog) return;
    // The dialog may outlive the form until its deferred destruction.
    FDialog->Detach();
    // After the toolkit has shut down the dialog is gone with it.
    if (wxTheApp) FDialog->Destroy();
  }

  THelpDialog* Dialog() const { return FDialog.get(); }

  void PrepareOkButton() override {
    if (FDialog) SetSpeedButtonGlyph(*FDialog->btnOk, FDialog->il, 0, true, true);
  }
  void SetCaption(const std::string& caption) override {
    if (FDialog) FDialog->SetTitle(Utf8(caption));
  }
  // The size is given for a screen at 100 %: it grows with the screen's
  // scaling as the fonts do, and stays within the screen's work area.
  void SetOuterSize(int width, int height) override {
    if (!FDialog) return;
    wxSize size = FDialog->FromDIP(wxSize(width, height));
    size.DecTo(wxDisplay(FDialog.get()).GetClientArea().GetSize());
    FDialog->SetSize(size);
  }
  void ShowMarkdownPanel(bool markdown) override {
    if (FDialog) FDialog->ShowPanels(markdown);
  }
  void ShowPage(const std::string& html) override {
    if (FDialog) FDialog->SetPageSource(html);
  }
  void ShowRichText(const std::string& rtf) override {
    if (FDialog) FDialog->SetRichTextSource(rtf);
  }
  void Close() override {
    if (!FDialog) return;
    if (FDialog->IsModal())
      FDialog->EndModal(wxID_OK);
    else if (FShowing)
      FCloseAtOnce = true;  // asked while being shown: it never opens
    else
      FDialog->Hide();
  }
  // The form builds the content before the window appears, so the first
  // paint already shows it; a form that closes the window while it is being
  // shown (the second show) makes the show end at once.
  void ShowModal() override {
    if (!FDialog) return;
    FShowing = true;
    FCloseAtOnce = false;
    FForm.FormShow();
    FShowing = false;
    if (FCloseAtOnce || !FDialog) return;
    FDialog->CentreOnScreen();
    FDialog->ShowModal();
  }

 private:
  THelpForm& FForm;
  wxWeakRef<THelpDialog> FDialog;
  bool FShowing = false;
  bool FCloseAtOnce = false;
};

}  // namespace

wxBitmapBundle CheckMarkGlyph() {
  return wxBitmapBundle::FromSVG(CheckMarkSvg, wxSize(GlyphSize, GlyphSize));
}

THelpDialog::THelpDialog(THelpForm& form)
    : wxDialog(nullptr, wxID_ANY, "HelpForm", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      il(FromDIP(GlyphSize), FromDIP(GlyphSize), false, 1),
      FForm(&form) {
  // Sizes below are for a screen at 100 % and grow with its scaling.
  const int strip = FromDIP(StripHeight);
  il.Add(CheckMarkGlyph().GetBitmap(FromDIP(wxSize(GlyphSize, GlyphSize))));

  pnl_data = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE);
  pnl_controls = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxSize(-1, strip), wxBORDER_NONE);
  btnOk = new TSpeedButton(pnl_controls, wxID_ANY, "OK", wxDefaultPosition, wxSize(strip, strip));
  pnl_rtext = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_THEME);
  re_txt = new wxHtmlWindow(pnl_rtext, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxHW_SCROLLBAR_AUTO);
  wb1 = new wxHtmlWindow(pnl_data, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxHW_SCROLLBAR_AUTO);
  re_txt->SetStandardFonts(8);

  auto* dataSizer = new wxBoxSizer(wxVERTICAL);
  dataSizer->Add(wb1, 1, wxEXPAND);
  pnl_data->SetSizer(dataSizer);
  auto* rtextSizer = new wxBoxSizer(wxVERTICAL);
  rtextSizer->Add(re_txt, 1, wxEXPAND | wxALL, 1);
  pnl_rtext->SetSizer(rtextSizer);
  auto* stripSizer = new wxBoxSizer(wxHORIZONTAL);
  stripSizer->AddStretchSpacer();
  stripSizer->Add(btnOk, 0, wxALIGN_BOTTOM);
  pnl_controls->SetSizer(stripSizer);

  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(pnl_data, 1, wxEXPAND);
  sizer->Add(pnl_rtext, 1, wxEXPAND);
  sizer->Add(pnl_controls, 0, wxEXPAND);
  pnl_controls->SetMinSize(wxSize(-1, strip));
  SetSizer(sizer);
  ShowPanels(false);
  // Client area 661 x 549 by default. Set through the outer size: on GTK a
  // client size given to a fixed-size window also becomes its minimum, and
  // the caller's later, smaller size would not take.
  SetSize(FromDIP(wxSize(661, 549)) + (GetSize() - GetClientSize()));

  // Links open in the desktop's browser rather than inside the help page.
  for (wxHtmlWindow* view : {wb1, re_txt})
    view->Bind(wxEVT_HTML_LINK_CLICKED,
               [](wxHtmlLinkEvent& event) { wxLaunchDefaultBrowser(event.GetLinkInfo().GetHref()); });
  btnOk->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    if (FForm) FForm->btnOkClick();
  });
  Bind(wxEVT_CHAR_HOOK, &THelpDialog::OnCharHook, this);
}

void THelpDialog::ShowPanels(bool markdown) {
  pnl_data->Show(markdown);
  pnl_rtext->Show(!markdown);
  Layout();
}

void THelpDialog::SetPageSource(const std::string& html) {
  FPageSource = Utf8(html);
  wb1->SetPage(WithTableRules(FPageSource));
}

void THelpDialog::SetRichTextSource(const std::string& rtf) {
  FRichTextSource = Utf8(RtfToHtml(rtf));
  re_txt->SetPage(FRichTextSource);
}

// The window sees keys before its controls do.
void THelpDialog::OnCharHook(wxKeyEvent& event) {
  if (event.GetKeyCode() == WXK_ESCAPE && FForm) {
    FForm->FormKeyPress(WXK_ESCAPE);
    return;
  }
  event.Skip();
}

void InstallWxHelpView() {
  SetHelpViewFactory([](THelpForm& form) { return std::make_unique<TWxHelpView>(form); });
}

THelpDialog* GetHelpDialog(const THelpForm& form) {
  const auto* view = dynamic_cast<const TWxHelpView*>(form.View());
  return view ? view->Dialog() : nullptr;
}

}  // namespace orvane
