#include "cmdline/HelpForm_wx.h"

#include <gtest/gtest.h>
#include <wx/gdicmn.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>

#include <memory>
#include <vector>

#include "cmdline/CmdLineParaHandler.h"
#include "support/LoggingHelpPage.h"
#include "support/TestSupport.h"
#include "support/WxTestSupport_wx.h"

namespace orvane {
namespace {

using test::RunAfter;

using test::kLoggingHelpLines;

struct Cell {
  wxString text;
  wxPoint pos;
  wxSize size;
};

// The words an HTML view laid out, with their positions.
void CollectWords(const wxHtmlCell* cell, std::vector<Cell>& out) {
  for (; cell != nullptr; cell = cell->GetNext()) {
    if (const wxHtmlCell* child = cell->GetFirstChild()) {
      CollectWords(child, out);
    } else {
      const wxString text = cell->ConvertToText(nullptr);
      if (!text.empty())
        out.push_back({text, cell->GetAbsPos(), wxSize(cell->GetWidth(), cell->GetHeight())});
    }
  }
}

const Cell* FindWord(const std::vector<Cell>& cells, const wxString& text, size_t nth = 0) {
  for (const Cell& c : cells)
    if (c.text.Strip(wxString::both) == text && nth-- == 0) return &c;
  return nullptr;
}

// Ends a modal loop that the test failed to end by itself, so that a fault
// shows as a failure rather than a hang.
std::shared_ptr<bool> GuardModal(THelpDialog* dialog) {
  auto forced = std::make_shared<bool>(false);
  RunAfter(30000, [forced, weak = wxWeakRef<THelpDialog>(dialog)] {
    if (weak && weak->IsModal()) {
      *forced = true;
      weak->EndModal(wxID_ABORT);
    }
  });
  return forced;
}

void WaitUntilOnScreen(wxWindow* window) {
  for (int i = 0; i < 100 && !window->IsShownOnScreen(); ++i) test::PumpEvents();
}

class HelpDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    HelpForm.reset();
    InstallWxHelpView();
  }
  void TearDown() override {
    HelpForm.reset();
    SetHelpViewFactory(nullptr);
  }

  test::DisplayLock display;
};

TEST_F(HelpDialogTest, MarkdownPageShowsAndClosesWithEscOnceOnly) {
  TCmdLineParaHandler handler(true, false, {"OrvaneSupport", "--LoggingHelp"}, "");
  ASSERT_TRUE(handler.IsKeyAvailable("LoggingHelp", ""));
  handler.HelpDlg_Init("", true);
  handler.HelpDlg_SetDimensions(800, 600);
  for (const char* line : kLoggingHelpLines) handler.HelpDlg_AddMarkdownLine(line);
  for (const char* line : {"", "| Switch | Meaning |", "|---|---|", "| alpha | beta |", "",
                           "Raw <b>not bold</b> & <script>x</script>", "Plain text --Logging"})
    handler.HelpDlg_AddMarkdownLine(line);

  THelpDialog* dialog = GetHelpDialog(*HelpForm);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->btnOk->GetGlyph().IsOk());
  EXPECT_TRUE(dialog->btnOk->IsFlat());
  EXPECT_EQ(dialog->btnOk->GetLabel(), "");

  bool sawModal = false, pageShown = false, rtextShown = true;
  wxSize size;
  wxRect rect;
  wxString text;
  std::vector<Cell> words;
  bool saved = false;
  RunAfter(100, [&] {
    WaitUntilOnScreen(dialog);
    sawModal = dialog->IsModal();
    pageShown = dialog->pnl_data->IsShown();
    rtextShown = dialog->pnl_rtext->IsShown();
    size = dialog->GetSize();
    rect = dialog->GetScreenRect();
    text = dialog->wb1->ToText();
    CollectWords(dialog->wb1->GetInternalRepresentation(), words);
    saved = test::SaveScreenshot(dialog, test::ArtifactDir() / "help-dialog.png");
    test::PressKey(dialog, WXK_ESCAPE);
  });
  auto forced = GuardModal(dialog);
  handler.HelpDlg_Show();

  EXPECT_FALSE(*forced) << "Esc did not close the dialog";
  EXPECT_EQ(dialog->GetReturnCode(), wxID_OK);  // closed by the form, not by the toolkit's default
  EXPECT_TRUE(sawModal);
  EXPECT_TRUE(pageShown);
  EXPECT_FALSE(rtextShown);
  EXPECT_EQ(size, wxSize(800, 600));
  const wxRect screen = wxGetClientDisplayRect();
  EXPECT_NEAR(rect.x + rect.width / 2, screen.x + screen.width / 2, 1);
  EXPECT_NEAR(rect.y + rect.height / 2, screen.y + screen.height / 2, 1);
  EXPECT_FALSE(dialog->HasFlag(wxRESIZE_BORDER));
  EXPECT_TRUE(saved);

  const wxString source = dialog->PageSource();
  EXPECT_EQ(source.ToStdString(wxConvUTF8), HelpForm->ShownContent());
  EXPECT_TRUE(source.StartsWith("<html><head></head><body><h2>Internal Logging Class Help</h2>"));
  EXPECT_NE(source.Find("<li><strong>--Logging</strong>:=0 Disabled, =1 enabled</li>"), wxNOT_FOUND);
  EXPECT_NE(source.Find("Raw &lt;b&gt;not bold&lt;/b&gt; &amp; &lt;script&gt;x&lt;/script&gt;"), wxNOT_FOUND);

  // What the view made of it: raw HTML as text, a real table.
  EXPECT_NE(text.Find("Internal Logging Class Help"), wxNOT_FOUND) << text;
  EXPECT_NE(text.Find("--Logging:=0 Disabled, =1 enabled"), wxNOT_FOUND) << text;
  EXPECT_NE(text.Find("Raw <b>not bold</b> & <script>x</script>"), wxNOT_FOUND) << text;
  EXPECT_EQ(text.Find("|"), wxNOT_FOUND) << text;
  const Cell* sw = FindWord(words, "Switch");
  const Cell* meaning = FindWord(words, "Meaning");
  const Cell* alpha = FindWord(words, "alpha");
  const Cell* beta = FindWord(words, "beta");
  ASSERT_TRUE(sw && meaning && alpha && beta);
  EXPECT_EQ(sw->pos.y, meaning->pos.y);
  EXPECT_GT(meaning->pos.x, sw->pos.x);
  EXPECT_GT(alpha->pos.y, sw->pos.y);
  EXPECT_EQ(alpha->pos.x, sw->pos.x);
  EXPECT_EQ(beta->pos.x, meaning->pos.x);
  // The heading is set larger and the list's key in bold: wider than the
  // same word in plain text, which ends its line as the bold one ends its run.
  const Cell* heading = FindWord(words, "Internal");
  const Cell* plain = FindWord(words, "Plain");
  const Cell* boldKey = FindWord(words, "--Logging", 0);
  const Cell* plainKey = FindWord(words, "--Logging", 1);
  ASSERT_TRUE(heading && plain && boldKey && plainKey) << [&] {
    wxString all;
    for (const Cell& c : words) all << "[" << c.text << "]";
    return all;
  }();
  EXPECT_GT(heading->size.y, plain->size.y);
  EXPECT_GT(boldKey->size.x, plainKey->size.x);

  // Shown again: closes at once, content untouched.
  auto forcedAgain = GuardModal(dialog);
  handler.HelpDlg_AddMarkdownLine("# Late");
  handler.HelpDlg_Show();
  EXPECT_FALSE(*forcedAgain) << "second show stayed open";
  EXPECT_EQ(dialog->PageSource(), source);
}

TEST_F(HelpDialogTest, RichTextShowsAndOkButtonCloses) {
  TCmdLineParaHandler handler(true, false, {"OrvaneSupport"}, "");
  handler.HelpDlg_Init("Options", false);
  handler.HelpDlg_SetDimensions(500, 300);
  handler.HelpDlg_AddCommand("--Logging=1", "switches logging on");
  handler.HelpDlg_AddEmptyLine();
  handler.HelpDlg_AddWarning("Settings given here are not saved.", true);
  handler.HelpDlg_AddPlainText("Twelve point blue italic", 12, false, true, TColorSubSet::colBlue);

  THelpDialog* dialog = GetHelpDialog(*HelpForm);
  ASSERT_NE(dialog, nullptr);
  wxString title, text;
  bool rtextShown = false, pageShown = true, saved = false;
  RunAfter(100, [&] {
    WaitUntilOnScreen(dialog);
    title = dialog->GetTitle();
    rtextShown = dialog->pnl_rtext->IsShown();
    pageShown = dialog->pnl_data->IsShown();
    text = dialog->re_txt->ToText();
    saved = test::SaveScreenshot(dialog, test::ArtifactDir() / "help-dialog-richtext.png");
    // A real click on the flat button.
    const wxRect button = dialog->btnOk->GetScreenRect();
    wxUIActionSimulator sim;
    sim.MouseMove(button.x + button.width / 2, button.y + button.height / 2);
    test::PumpEvents();
    sim.MouseClick();
    test::PumpEvents();
  });
  auto forced = GuardModal(dialog);
  handler.HelpDlg_Show();

  EXPECT_FALSE(*forced) << "the OK button did not close the dialog";
  EXPECT_EQ(title, "Options");
  EXPECT_TRUE(saved);
  EXPECT_TRUE(rtextShown);
  EXPECT_FALSE(pageShown);
  for (const char* part : {"--Logging=1", "switches logging on", "Settings given here are not saved.",
                           "Twelve point blue italic"})
    EXPECT_NE(text.Find(part), wxNOT_FOUND) << part << " in " << text;
  EXPECT_EQ(text.Find("\\cf"), wxNOT_FOUND);
  EXPECT_NE(
      dialog->RichTextSource().Find("<font color=\"#ff0000\"><span style=\"font-size:9pt\"><b>Settings"),
      wxNOT_FOUND);
}

}  // namespace
}  // namespace orvane
