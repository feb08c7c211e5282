#include "cmdline/RtfToHtml.h"

#include <gtest/gtest.h>

#include "cmdline/HelpForm.h"
#include "system/Utf8.h"

namespace orvane {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The view takes the page as UTF-8 and shows nothing at all when it is not.
bool IsUtf8(const std::string& text) {
  char32_t cp;
  for (size_t pos = 0; pos < text.size();) {
    const size_t n = DecodeUtf8(text, pos, cp);
    if (n == 0) return false;
    pos += n;
  }
  return true;
}

TEST(RtfToHtml, HelpDocumentKeepsColoursWeightsSlantsSizesAndIndentation) {
  THelpForm form;
  form.AddTextLine("--cmd", 0, 9, true, true, TColorSubSet_int::black);
  form.AddTextLine("described", 1, 9, false, false, TColorSubSet_int::black);
  form.AddTextLine("", 0, 9, false, false, TColorSubSet_int::black);
  form.AddTextLine("warning", 0, 12, true, false, TColorSubSet_int::red);
  form.AddTextLine("blue", 0, 9, false, false, TColorSubSet_int::blue);
  form.ShowModal();
  const std::string html = RtfToHtml(form.ShownContent());

  EXPECT_EQ(html.rfind("<html><head></head><body>", 0), 0u);
  EXPECT_TRUE(Contains(
      html, R"(<font color="#000000"><span style="font-size:9pt"><b><i>--cmd </i></b></span></font><br>)"))
      << html;
  // The indented line: a tab's worth of space, then the plain text.
  EXPECT_TRUE(Contains(html, "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;</span>"));
  EXPECT_TRUE(Contains(
      html, R"(<font color="#000000"><span style="font-size:9pt">described &nbsp;</span></font><br>)"));
  // The empty paragraph in the header's size (\fs9 is 4.5 pt).
  EXPECT_TRUE(Contains(html, R"(<span style="font-size:5pt">&nbsp;</span></font><br>)"));
  EXPECT_TRUE(
      Contains(html, R"(<font color="#ff0000"><span style="font-size:12pt"><b>warning </b></span></font>)"));
  EXPECT_TRUE(
      Contains(html, R"(<font color="#0000ff"><span style="font-size:9pt">blue &nbsp;</span></font>)"));
  EXPECT_FALSE(Contains(html, "rtf1"));
  EXPECT_FALSE(Contains(html, "colortbl"));
}

TEST(RtfToHtml, SubsetDetails) {
  struct Case {
    const char* rtf;
    std::string expected;  // part of the body
  };
  const Case cases[] = {
      {R"({\rtf1 a\\b\{c\}<&>"})", "a\\b{c}&lt;&amp;&gt;&quot;"},
      {R"({\rtf1{\b bold}plain})", "<b>bold</b></span><span style=\"font-size:12pt\">plain"},
      {R"({\rtf1\b on\b0 off})", "<b>on</b></span><span style=\"font-size:12pt\">off"},
      {R"({\rtf1\i\fs30 x\plain y})", "<i>x</i></span><span style=\"font-size:12pt\">y"},
      {R"({\rtf1{\fonttbl{\f0\fswiss Tahoma;}}{\*\generator Writer;}text})",
       "<body><span style=\"font-size:12pt\">text"},
      {R"({\rtf1{\colortbl;\red1\green2\blue3;}\cf1 c\cf7 d\cf0 e})", "<font color=\"#010203\">"},
      {R"({\rtf1\'e9\u8364?\~x\emdash})", "é€&nbsp;x—"},
      {R"({\rtf1 a  b   c})", "a &nbsp;b &nbsp;&nbsp;c"},
      {R"({\rtf1 one\line two\par\par three})",
       "one</span><br>\n<span style=\"font-size:12pt\">two</span><br>\n"
       "<span style=\"font-size:12pt\">&nbsp;</span><br>\n<span style=\"font-size:12pt\">three"},
      {"{\\rtf1 x\r\ny}", "xy"},
  };
  for (const Case& c : cases) {
    const std::string html = RtfToHtml(c.rtf);
    EXPECT_TRUE(Contains(html, c.expected)) << c.rtf << "\n->\n" << html;
  }
  // Colour-table entries past the table and the automatic entry add no colour.
  const std::string html = RtfToHtml(R"({\rtf1{\colortbl;\red1\green2\blue3;}\cf1 c\cf7 d\cf0 e})");
  EXPECT_EQ(html.find("<font"), html.rfind("<font"));
}

TEST(RtfToHtml, ToleratesBrokenAndHostileInput) {
  const std::string deep = std::string(200000, '{') + "\\b x" + std::string(200000, '}');
  const std::string wide = "{\\rtf1" + std::string(100000, 'a') + "}";
  const std::string longWord = "\\" + std::string(5000, 'x') + "123 y";
  const std::string inputs[] = {
      deep,
      wide,
      longWord,
      "}}}x{{{y",
      "\\",
      "{\\rtf1\\'",
      "{\\rtf1\\'4",
      "\\u",
      "\\u-99999999999999999999 z",
      "\\u99999999999999999999 z",
      "\\u70000 \\u1114112 \\u-70000 z",
      // A control symbol or a \u fallback taking one byte of a character.
      "\\\xC3\xA9 \\u8364\xC3\xA9 \xFF",
      "\\fs99999999999999999999999 big",
      "\\cf-5 neg",
      "{\\colortbl\\red999;",
      "\\uc99\\u65 abc",
      std::string("a\0b", 3),
  };
  for (const std::string& in : inputs) {
    const std::string html = RtfToHtml(in);
    EXPECT_EQ(html.rfind("<html><head></head><body>", 0), 0u);
    EXPECT_TRUE(html.ends_with("</body></html>"));
    EXPECT_LT(html.size(), 100 * in.size() + 100);
    EXPECT_TRUE(IsUtf8(html)) << in;
  }
  EXPECT_TRUE(Contains(RtfToHtml(deep), "<b>x</b>"));
  EXPECT_TRUE(Contains(RtfToHtml("}}}x{{{y"), "xy"));
  // Code points past the basic plane are written in full; stray bytes are
  // read as Latin-1.
  EXPECT_TRUE(Contains(RtfToHtml("\\u70000?x"), "\U00011170x"));
  EXPECT_TRUE(Contains(RtfToHtml("a\xFF\xC3\xA9"), "a\u00FF\u00E9"));
}

}  // namespace
}  // namespace orvane
