// The modal help window's content and behaviour, without the toolkit.
//
// THelpForm collects help text line by line, either as an RTF document (the
// default) or as Markdown source, and builds what the window shows when it
// first appears. The window itself is an IHelpView made by the factory the
// toolkit layer installs at start-up (InstallWxHelpView in HelpForm_wx.h);
// without one the form still builds its content and shows nothing.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace orvane {

// Text colours of rich-text lines; colour-table entries 1..5.
enum class TColorSubSet_int { black, red, green, blue, yellow };

class THelpForm;

// What THelpForm needs from its window.
class IHelpView {
 public:
  virtual ~IHelpView() = default;
  // Check-mark glyph on the OK button, flat, without caption.
  virtual void PrepareOkButton() = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  // Outer size of the window, frame included.
  virtual void SetOuterSize(int width, int height) = 0;
  // Shows the page panel (true) or the rich-text panel (false).
  virtual void ShowMarkdownPanel(bool markdown) = 0;
  // A complete HTML page for the page panel.
  virtual void ShowPage(const std::string& html) = 0;
  // An RTF document for the rich-text panel.
  virtual void ShowRichText(const std::string& rtf) = 0;
  // Ends the modal show. Called from inside FormShow it means the window
  // closes as soon as it is shown.
  virtual void Close() = 0;
  // Shows the window modally and returns once it is closed. The view calls
  // the form's FormShow each time the window is about to be shown.
  virtual void ShowModal() = 0;
};

using THelpViewFactory = std::function<std::unique_ptr<IHelpView>(THelpForm& form)>;

// Installs the factory every new THelpForm takes its view from; returns the
// one installed before. An empty factory means no window.
THelpViewFactory SetHelpViewFactory(THelpViewFactory factory);

class THelpForm {
 public:
  THelpForm();
  ~THelpForm();
  THelpForm(const THelpForm&) = delete;
  THelpForm& operator=(const THelpForm&) = delete;

  // Appends one RTF line; an empty Txt appends an empty paragraph. The text
  // is inserted as is, so backslashes and braces in it act as RTF markup.
  void AddTextLine(const std::string& Txt, int NumTabIdent, int FntSz, bool bold, bool italic,
                   TColorSubSet_int TextCol);
  // Appends one Markdown line, ended by a hard line break.
  void MarkDownAddLine(const std::string& LineIn);
  // Empties the buffer and switches to Markdown for good.
  void ToggleMarkdown();
  void SetWindowCaption(const std::string& Cap);
  void SetDimensions(int pWidth, int pHeight);

  // Shows the window modally (through the view) and returns when it closes;
  // without a view it only builds the content.
  void ShowModal();

  // Window events, forwarded by the view.
  void FormShow();
  void FormKeyPress(int Key);
  void btnOkClick();

  const std::string& Buffer() const { return sumstr; }
  bool IsMarkdown() const { return OutputMarkdown; }
  bool WasShown() const { return AlreadyShown; }
  // The HTML page or RTF document handed to the view by the first show.
  const std::string& ShownContent() const { return FShownContent; }
  IHelpView* View() const { return FView.get(); }

 private:
  void FormCreate();
  void CloseForm();

  bool AlreadyShown = false;
  std::string sumstr;
  bool OutputMarkdown = false;
  std::string FShownContent;
  std::unique_ptr<IHelpView> FView;
};

// The program-wide help window, created on demand by
// TCmdLineParaHandler::HelpDlg_Init. The program resets it before the
// toolkit shuts down.
extern std::unique_ptr<THelpForm> HelpForm;

// Resets HelpForm: the program's shutdown calls it while the toolkit still
// runs, so the dialog is destroyed with its toolkit and not by the static
// destructors after it. A later HelpDlg_Init creates a fresh form.
void ReleaseHelpForm();

// The RTF document a form starts with: font 0, colour 1, size word 9 and the
// colour table of TColorSubSet_int.
extern const char* const HelpRtfHeader;

// Renders Markdown and places the fragment in the page wrapper.
std::string BuildHelpPage(const std::string& markdown);

}  // namespace orvane
