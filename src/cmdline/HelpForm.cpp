#include "cmdline/HelpForm.h"

#include "cmdline/MarkdownToHtml.h"

namespace orvane {

std::unique_ptr<THelpForm> HelpForm;

void ReleaseHelpForm() { HelpForm.reset(); }

const char* const HelpRtfHeader =
    "{\\rtf1\\f0\\cf1\\fs9{\\colortbl ;\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green255\\blue0;"
    "\\red0\\green0\\blue255;\\red255\\green255\\blue0;}";

namespace {

THelpViewFactory& ViewFactory() {
  static THelpViewFactory factory;
  return factory;
}

const char* ColourWord(TColorSubSet_int colour) {
  switch (colour) {
    case TColorSubSet_int::black:
      return "\\cf1";
    case TColorSubSet_int::red:
      return "\\cf2";
    case TColorSubSet_int::green:
      return "\\cf3";
    case TColorSubSet_int::blue:
      return "\\cf4";
    case TColorSubSet_int::yellow:
      return "\\cf5";
  }
  return "\\cf1";
}

}  // namespace

THelpViewFactory SetHelpViewFactory(THelpViewFactory factory) {
  THelpViewFactory previous = std::move(ViewFactory());
  ViewFactory() = std::move(factory);
  return previous;
}

std::string BuildHelpPage(const std::string& markdown) {
  static const std::string wrapper = "<html><head></head><body><txt></body></html>";
  static const std::string placeholder = "<txt>";
  std::string page = wrapper;
  page.replace(page.find(placeholder), placeholder.size(), MarkdownToHtml(markdown));
  return page;
}

THelpForm::THelpForm() {
  if (ViewFactory()) FView = ViewFactory()(*this);
  FormCreate();
}

THelpForm::~THelpForm() = default;

void THelpForm::FormCreate() {
  if (FView) FView->PrepareOkButton();
  sumstr = HelpRtfHeader;
  if (FView) FView->ShowRichText("");
  AlreadyShown = false;
}

void THelpForm::AddTextLine(const std::string& Txt, int NumTabIdent, int FntSz, bool bold, bool italic,
                            TColorSubSet_int TextCol) {
  if (Txt.empty()) {
    sumstr += "\\par";
    return;
  }
  std::string group = "{";
  for (int i = 0; i < NumTabIdent; ++i) group += "\\tab";
  group += ColourWord(TextCol);
  if (bold) group += "\\b";
  if (italic) group += "\\i";
  group += "\\fs" + std::to_string(2 * FntSz);
  group += " " + Txt + " ";
  if (bold) group += "\\b0";
  if (italic) group += "\\i0";
  group += " \\cf0\\fs9}";
  sumstr += group + "\\par";
}

void THelpForm::MarkDownAddLine(const std::string& LineIn) {
  if (!sumstr.empty()) sumstr += "\r\n";
  sumstr += LineIn + "  ";
}

void THelpForm::ToggleMarkdown() {
  sumstr.clear();
  OutputMarkdown = true;
  if (FView) FView->ShowMarkdownPanel(true);
}

void THelpForm::SetWindowCaption(const std::string& Cap) {
  if (FView) FView->SetCaption(Cap);
}

void THelpForm::SetDimensions(int pWidth, int pHeight) {
  if (FView) FView->SetOuterSize(pWidth, pHeight);
}

void THelpForm::ShowModal() {
  if (FView)
    FView->ShowModal();
  else
    FormShow();
}

void THelpForm::FormShow() {
  // The content is built once per run; showing the window again closes it.
  if (AlreadyShown) {
    CloseForm();
    return;
  }
  AlreadyShown = true;
  if (OutputMarkdown) {
    if (FView) FView->ShowMarkdownPanel(true);
    FShownContent = BuildHelpPage(sumstr);
    if (FView) FView->ShowPage(FShownContent);
  } else {
    if (FView) FView->ShowMarkdownPanel(false);
    sumstr += "}";
    FShownContent = sumstr;
    if (FView) FView->ShowRichText(sumstr);
  }
}

void THelpForm::FormKeyPress(int Key) {
  if (Key == 27) CloseForm();
}

void THelpForm::btnOkClick() { CloseForm(); }

void THelpForm::CloseForm() {
  if (FView) FView->Close();
}

}  // namespace orvane
