// The help window in wxWidgets: a dialog that lays out the controls of
// THelpForm, forwards its events and shows what the form builds.
#pragma once

#include <wx/dialog.h>
#include <wx/html/htmlwin.h>
#include <wx/imaglist.h>
#include <wx/panel.h>

#include "cmdline/HelpForm.h"
#include "cmdline/SpeedButtonHelper_wx.h"

namespace orvane {

class THelpDialog : public wxDialog {
 public:
  explicit THelpDialog(THelpForm& form);

  wxPanel* pnl_data;      // page view, shown in Markdown mode
  wxPanel* pnl_controls;  // bottom strip with the OK button
  TSpeedButton* btnOk;
  wxHtmlWindow* re_txt;  // rich text, converted to HTML
  wxHtmlWindow* wb1;     // the rendered Markdown page
  wxPanel* pnl_rtext;    // rich-text view, shown otherwise
  wxImageList il;        // one 32 x 32 image: the check mark

  // The HTML most recently handed to wb1 and to re_txt.
  const wxString& PageSource() const { return FPageSource; }
  const wxString& RichTextSource() const { return FRichTextSource; }

  void ShowPanels(bool markdown);
  void SetPageSource(const std::string& html);
  void SetRichTextSource(const std::string& rtf);
  // Stops forwarding events to the form, which is going away.
  void Detach() { FForm = nullptr; }

 private:
  void OnCharHook(wxKeyEvent& event);

  THelpForm* FForm;
  wxString FPageSource;
  wxString FRichTextSource;
};

// Makes every THelpForm created from now on use a THelpDialog. The program
// calls this at start-up, before anything can open the help window.
void InstallWxHelpView();

// The dialog behind a form's view, or null when it has none (or it was
// destroyed with the toolkit).
THelpDialog* GetHelpDialog(const THelpForm& form);

// The OK button's check-mark glyph, drawn from an SVG held in the code.
wxBitmapBundle CheckMarkGlyph();

}  // namespace orvane
