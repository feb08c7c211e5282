#include "cmdline/HelpForm.h"

#include <gtest/gtest.h>

#include "cmdline/CmdLineParaHandler.h"
#include "cmdline/MarkdownToHtml.h"
#include "support/LoggingHelpPage.h"
#include "support/TestSupport.h"

namespace orvane {
namespace {

const std::string Header =
    R"({\rtf1\f0\cf1\fs9{\colortbl ;\red0\green0\blue0;\red255\green0\blue0;\red0\green255\blue0;\red0\green0\blue255;\red255\green255\blue0;})";

using test::kLoggingHelpLines;

// Records what the form asks of its window; a modal show shows the form.
class FakeView : public IHelpView {
 public:
  explicit FakeView(THelpForm& form) : form_(form) {}
  void PrepareOkButton() override { log.push_back("button"); }
  void SetCaption(const std::string& caption) override { log.push_back("caption " + caption); }
  void SetOuterSize(int width, int height) override {
    log.push_back("size " + std::to_string(width) + "x" + std::to_string(height));
  }
  void ShowMarkdownPanel(bool markdown) override { log.push_back(markdown ? "panel page" : "panel rtf"); }
  void ShowPage(const std::string& html) override {
    log.push_back("page");
    page = html;
  }
  void ShowRichText(const std::string& rtf) override {
    log.push_back("rtf");
    rich = rtf;
  }
  void Close() override { log.push_back("close"); }
  void ShowModal() override {
    log.push_back("modal");
    form_.FormShow();
  }

  std::vector<std::string> log;
  std::string page, rich;

 private:
  THelpForm& form_;
};

class HelpFormTest : public testing::Test {
 protected:
  void SetUp() override {
    HelpForm.reset();
    previous_ = SetHelpViewFactory([](THelpForm& form) { return std::make_unique<FakeView>(form); });
  }
  void TearDown() override {
    HelpForm.reset();
    SetHelpViewFactory(previous_);
  }
  static FakeView& View() { return *static_cast<FakeView*>(HelpForm->View()); }
  static size_t Count(const std::vector<std::string>& log, const std::string& entry) {
    return static_cast<size_t>(std::count(log.begin(), log.end(), entry));
  }

  TCmdLineParaHandler handler{true, false, {"OrvaneSupport"}, ""};

 private:
  THelpViewFactory previous_;
};

TEST_F(HelpFormTest, RichTextLinesAreExactRtfGroups) {
  struct Case {
    std::string txt;
    int tabs, size;
    bool bold, italic;
    TColorSubSet_int colour;
    std::string appended;
  };
  const Case cases[] = {
      {"abc", 0, 9, true, true, TColorSubSet_int::black, R"({\cf1\b\i\fs18 abc \b0\i0 \cf0\fs9}\par)"},
      {"abc", 1, 9, false, false, TColorSubSet_int::black, R"({\tab\cf1\fs18 abc  \cf0\fs9}\par)"},
      {"", 3, 12, true, true, TColorSubSet_int::red, R"(\par)"},
      {"x", 0, 12, false, false, TColorSubSet_int::red, R"({\cf2\fs24 x  \cf0\fs9}\par)"},
      {"x", 2, 9, false, true, TColorSubSet_int::yellow, R"({\tab\tab\cf5\i\fs18 x \i0 \cf0\fs9}\par)"},
      {"a\\b{c}", -1, 10, true, false, TColorSubSet_int::green, R"({\cf3\b\fs20 a\b{c} \b0 \cf0\fs9}\par)"},
      {"x", 0, 9, false, false, TColorSubSet_int::blue, R"({\cf4\fs18 x  \cf0\fs9}\par)"},
  };
  for (const Case& c : cases) {
    THelpForm form;
    ASSERT_EQ(form.Buffer(), Header);
    form.AddTextLine(c.txt, c.tabs, c.size, c.bold, c.italic, c.colour);
    EXPECT_EQ(form.Buffer(), Header + c.appended) << c.appended;
  }
}

TEST_F(HelpFormTest, HandlerFeedsRichTextAndShowsTheClosedDocument) {
  handler.HelpDlg_Init("Usage", false);
  handler.HelpDlg_AddCommand("--x", "does x");
  handler.HelpDlg_AddCommand("--y", "");
  handler.HelpDlg_AddWarning("careful", true);
  handler.HelpDlg_AddWarning("mild", false);
  handler.HelpDlg_AddPlainText("big", 12, false, true, TColorSubSet::colBlue);
  handler.HelpDlg_AddEmptyLine();
  handler.HelpDlg_SetDimensions(640, 480);
  handler.HelpDlg_Show();

  const std::string expected =
      Header + R"({\cf1\b\i\fs18 --x \b0\i0 \cf0\fs9}\par)" + R"({\tab\cf1\fs18 does x  \cf0\fs9}\par)" +
      R"({\cf1\b\i\fs18 --y \b0\i0 \cf0\fs9}\par)" + R"({\cf2\b\fs18 careful \b0 \cf0\fs9}\par)" +
      R"({\cf2\fs18 mild  \cf0\fs9}\par)" + R"({\cf4\i\fs24 big \i0 \cf0\fs9}\par)" + R"(\par})";
  EXPECT_EQ(HelpForm->ShownContent(), expected);
  EXPECT_EQ(View().rich, expected);
  EXPECT_EQ(View().log, (std::vector<std::string>{"button", "rtf", "caption Usage", "size 1024x768",
                                                  "size 640x480", "modal", "panel rtf", "rtf"}));
}

TEST_F(HelpFormTest, EmptyRichTextDocumentIsHeaderAndClosingBrace) {
  THelpForm form;
  form.ShowModal();
  EXPECT_EQ(form.ShownContent(), Header + "}");
}

TEST_F(HelpFormTest, MarkdownLinesEndInHardBreaks) {
  handler.HelpDlg_Init("", true);
  EXPECT_EQ(HelpForm->Buffer(), "");  // the RTF header is gone
  handler.HelpDlg_AddMarkdownLine("first");
  handler.HelpDlg_AddEmptyLine();
  handler.HelpDlg_AddMarkdownLine("second");
  EXPECT_EQ(HelpForm->Buffer(), "first  \r\n  \r\nsecond  ");

  HelpForm.reset();
  handler.HelpDlg_Init("", true);
  handler.HelpDlg_AddMarkdownLine("one");
  handler.HelpDlg_AddMarkdownLine("two");
  handler.HelpDlg_Show();
  EXPECT_EQ(HelpForm->ShownContent(), "<html><head></head><body><p>one<br />\ntwo</p>\n</body></html>");
}

TEST_F(HelpFormTest, LoggingHelpPageRendersHeadingListAndBold) {
  handler.HelpDlg_Init("", true);
  handler.HelpDlg_SetDimensions(800, 600);
  for (const char* line : kLoggingHelpLines) handler.HelpDlg_AddMarkdownLine(line);
  handler.HelpDlg_Show();

  const std::string& page = View().page;
  EXPECT_EQ(page, HelpForm->ShownContent());
  EXPECT_EQ(page.rfind("<html><head></head><body><h2>Internal Logging Class Help</h2>\n<ul>\n", 0), 0u)
      << page;
  EXPECT_NE(page.find("<li><strong>--Logging</strong>:=0 Disabled, =1 enabled</li>"), std::string::npos);
  EXPECT_NE(
      page.find(
          "<li><strong>--LogFileMaxSizeInMB</strong>: =Size in MB</li>\n</ul>\n<h3>Log Class Version</h3>"),
      std::string::npos);
  EXPECT_NE(page.find("<p>Orvane LogClassVersion: 202101-1<br />\nLogClassScheme: 9<br />\n"
                      "ConfigFileName: LogSettings.ini</p>\n</body></html>"),
            std::string::npos);
  EXPECT_EQ(Count(View().log, "size 800x600"), 1u);
}

TEST_F(HelpFormTest, SecondShowClosesWithoutRebuilding) {
  handler.HelpDlg_Init("", true);
  handler.HelpDlg_AddMarkdownLine("# Title");
  handler.HelpDlg_Show();
  ASSERT_EQ(Count(View().log, "page"), 1u);
  ASSERT_EQ(Count(View().log, "close"), 0u);
  const std::string first = HelpForm->ShownContent();

  handler.HelpDlg_AddMarkdownLine("more");
  handler.HelpDlg_Show();
  EXPECT_EQ(Count(View().log, "page"), 1u);
  EXPECT_EQ(Count(View().log, "close"), 1u);
  EXPECT_EQ(HelpForm->ShownContent(), first);

  // A later Init reuses the one window.
  THelpForm* const before = HelpForm.get();
  handler.HelpDlg_Init("again", true);
  EXPECT_EQ(HelpForm.get(), before);
}

TEST_F(HelpFormTest, EscAndOkClose) {
  THelpForm form;
  auto& view = *static_cast<FakeView*>(form.View());
  form.FormKeyPress('a');
  form.FormKeyPress(13);
  EXPECT_EQ(Count(view.log, "close"), 0u);
  form.FormKeyPress(27);
  EXPECT_EQ(Count(view.log, "close"), 1u);
  form.btnOkClick();
  EXPECT_EQ(Count(view.log, "close"), 2u);
}

TEST_F(HelpFormTest, WithoutWindowTheContentIsStillBuilt) {
  SetHelpViewFactory(nullptr);
  handler.HelpDlg_Show();  // nothing initialised: nothing happens
  EXPECT_EQ(HelpForm, nullptr);
  handler.HelpDlg_AddMarkdownLine("ignored");
  handler.HelpDlg_AddCommand("ignored", "too");
  EXPECT_EQ(HelpForm, nullptr);

  handler.HelpDlg_Init("", true);
  EXPECT_EQ(HelpForm->View(), nullptr);
  handler.HelpDlg_AddMarkdownLine("*hi*");
  handler.HelpDlg_Show();
  EXPECT_TRUE(HelpForm->WasShown());
  EXPECT_EQ(HelpForm->ShownContent(), "<html><head></head><body><p><em>hi</em></p>\n</body></html>");
}

TEST_F(HelpFormTest, LoadsMarkdownFiles) {
  test::TempDir dir;
  handler.HelpDlg_Init("", true);
  EXPECT_FALSE(handler.HelpDlg_LoadMarkdownFile((dir / "missing.md").string()));
  EXPECT_EQ(HelpForm->Buffer(), "");
  test::WriteFileBytes(dir / "help.md", "\xEF\xBB\xBF# Title\r\n\r\nText\n");
  EXPECT_TRUE(handler.HelpDlg_LoadMarkdownFile((dir / "help.md").string()));
  EXPECT_EQ(HelpForm->Buffer(), "# Title  \r\n  \r\nText  ");
}

TEST(MarkdownToHtml, CommonMarkWithTablesAndAutolinks) {
  const std::string html = MarkdownToHtml(
      "| Key | Use |\r\n|---|:-:|\r\n| --Logging | on/off |\r\n\r\n"
      "Visit www.example.com or https://example.org/a?b=1 or <ftp://files.example.net>\r\n\r\n"
      "> quoted\r\n\r\n---\r\n\r\n```\r\ncode <x>\r\n```\r\n");
  for (const char* part : {
           "<table>\n<thead>\n<tr>\n<th>Key</th>\n<th align=\"center\">Use</th>",
           "<td>--Logging</td>\n<td align=\"center\">on/off</td>",
           "<a href=\"http://www.example.com\">www.example.com</a>",
           "<a href=\"https://example.org/a?b=1\">https://example.org/a?b=1</a>",
           "<a href=\"ftp://files.example.net\">ftp://files.example.net</a>",
           "<blockquote>\n<p>quoted</p>\n</blockquote>",
           "<hr />",
           "<pre><code>code &lt;x&gt;\n</code></pre>",
       })
    EXPECT_NE(html.find(part), std::string::npos) << part << "\nin\n" << html;
}

TEST(MarkdownToHtml, RawHtmlIsShownAsText) {
  struct Case {
    std::string markdown, html;
  };
  const Case cases[] = {
      {"a <b>bold</b> & \"q\"", "<p>a &lt;b&gt;bold&lt;/b&gt; &amp; &quot;q&quot;</p>\n"},
      {"<script>alert(1)</script>", "<p>&lt;script&gt;alert(1)&lt;/script&gt;</p>\n"},
      {"<div>\r\nx\r\n</div>", "<p>&lt;div&gt;<br />\nx<br />\n&lt;/div&gt;</p>\n"},
      {"<!-- note -->", "<p>&lt;!-- note --&gt;</p>\n"},
      {"| a |\n|---|\n| <i>c</i> |", "<td>&lt;i&gt;c&lt;/i&gt;</td>"},
      {"[x](javascript:alert(1))", "<p><a href=\"\">x</a></p>\n"},
  };
  for (const Case& c : cases) {
    const std::string html = MarkdownToHtml(c.markdown);
    EXPECT_NE(html.find(c.html), std::string::npos) << c.markdown << "\n->\n" << html;
    EXPECT_EQ(html.find("raw HTML omitted"), std::string::npos);
  }
}

}  // namespace
}  // namespace orvane
