#include "cmdline/RtfToHtml.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "system/Utf8.h"

namespace orvane {

namespace {

// Deeper groups share their parent's formatting; this bounds memory.
constexpr size_t MaxGroupDepth = 64;
// Control words longer than this match nothing we know.
constexpr size_t MaxWordLength = 32;
// Parameters saturate here; no meaningful value is larger.
constexpr long MaxParameter = 1'000'000;
// RTF's default size is 12 pt, in half-points.
constexpr int DefaultHalfPoints = 24;
// A tab is drawn as this many no-break spaces at a fixed size, roughly the
// default half-inch tab stop.
constexpr int TabSpaces = 8;

enum class Destination { Text, ColourTable, Skip };

struct CharFormat {
  bool bold = false;
  bool italic = false;
  int halfPoints = DefaultHalfPoints;
  int colour = 0;
  bool operator==(const CharFormat&) const = default;
};

struct GroupState {
  CharFormat format;
  Destination destination = Destination::Text;
  int unicodeSkip = 1;
};

struct Colour {
  int red = 0, green = 0, blue = 0;
  bool automatic = true;
};

class Converter {
 public:
  explicit Converter(std::string_view rtf) : in_(rtf) {}

  std::string Run() {
    while (pos_ < in_.size()) {
      const char c = in_[pos_++];
      switch (c) {
        case '{':
          OpenGroup();
          break;
        case '}':
          CloseGroup();
          break;
        case '\\':
          ControlSequence();
          break;
        case '\r':
        case '\n':
          break;
        default:
          Character(c);
          break;
      }
    }
    CloseRun();
    return "<html><head></head><body>" + ValidUtf8(out_) + "</body></html>";
  }

 private:
  void OpenGroup() {
    if (stack_.size() < MaxGroupDepth)
      stack_.push_back(state_);
    else
      ++overflowDepth_;
    groupStart_ = true;
  }

  void CloseGroup() {
    if (overflowDepth_ > 0) {
      --overflowDepth_;
    } else if (!stack_.empty()) {
      if (state_.destination == Destination::ColourTable) FinishColourEntry(false);
      state_ = stack_.back();
      stack_.pop_back();
    }
    groupStart_ = false;
  }

  void ControlSequence() {
    if (pos_ >= in_.size()) return;
    const char c = in_[pos_];
    if (!IsLetter(c)) {
      ++pos_;
      ControlSymbol(c);
      return;
    }
    std::string word;
    while (pos_ < in_.size() && IsLetter(in_[pos_])) {
      if (word.size() < MaxWordLength) word += in_[pos_];
      ++pos_;
    }
    std::optional<long> param;
    bool negative = false;
    if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && IsDigit(in_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    if (pos_ < in_.size() && IsDigit(in_[pos_])) {
      long value = 0;
      while (pos_ < in_.size() && IsDigit(in_[pos_])) {
        value = std::min(MaxParameter, value * 10 + (in_[pos_] - '0'));
        ++pos_;
      }
      param = negative ? -value : value;
    }
    // A single space ends a control word and belongs to it.
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
    const bool atGroupStart = groupStart_;
    groupStart_ = false;
    ControlWord(word, param, atGroupStart);
  }

  void ControlSymbol(char c) {
    groupStart_ = false;
    switch (c) {
      case '\\':
      case '{':
      case '}':
        Character(c);
        break;
      case '~':
        CodePoint(0xA0);
        break;
      case '_':
        Character('-');
        break;
      case '\'':
        HexByte();
        break;
      case '*':
        state_.destination = Destination::Skip;
        break;
      case '\r':
      case '\n':
        Paragraph();
        break;
      default:
        break;  // "\-" (optional hyphen) and the rest show nothing
    }
  }

  void ControlWord(const std::string& word, std::optional<long> param, bool atGroupStart) {
    const long p = param.value_or(1);
    CharFormat& f = state_.format;
    if (atGroupStart && (word == "fonttbl" || word == "stylesheet" || word == "info" || word == "pict" ||
                         word == "header" || word == "footer" || word == "filetbl" || word == "listtable")) {
      state_.destination = Destination::Skip;
    } else if (word == "colortbl") {
      state_.destination = Destination::ColourTable;
      pending_ = Colour{};
    } else if (state_.destination == Destination::ColourTable) {
      const int component = static_cast<int>(std::clamp<long>(p, 0, 255));
      if (word == "red") pending_.red = component, pending_.automatic = false;
      if (word == "green") pending_.green = component, pending_.automatic = false;
      if (word == "blue") pending_.blue = component, pending_.automatic = false;
    } else if (state_.destination == Destination::Skip) {
      if (word == "u") SkipFallback();  // keep \u's fallback out of the text
    } else if (word == "par") {
      Paragraph();
    } else if (word == "line") {
      CloseRun();
      out_ += "<br>\n";
      paragraphEmpty_ = false;
      lastWasSpace_ = true;
    } else if (word == "tab") {
      Tab();
    } else if (word == "b") {
      f.bold = p != 0;
    } else if (word == "i") {
      f.italic = p != 0;
    } else if (word == "fs") {
      f.halfPoints = static_cast<int>(std::clamp<long>(param.value_or(DefaultHalfPoints), 1, 2000));
    } else if (word == "cf") {
      f.colour = static_cast<int>(std::clamp<long>(param.value_or(0), 0, 1000));
    } else if (word == "plain") {
      f = CharFormat{};
    } else if (word == "uc") {
      state_.unicodeSkip = static_cast<int>(std::clamp<long>(p, 0, 10));
    } else if (word == "u") {
      long cp = param.value_or(0);
      if (cp < 0) cp += 65536;
      CodePoint(static_cast<char32_t>(cp));
      SkipFallback();
    } else if (word == "emdash") {
      CodePoint(0x2014);
    } else if (word == "endash") {
      CodePoint(0x2013);
    } else if (word == "bullet") {
      CodePoint(0x2022);
    } else if (word == "lquote") {
      CodePoint(0x2018);
    } else if (word == "rquote") {
      CodePoint(0x2019);
    } else if (word == "ldblquote") {
      CodePoint(0x201C);
    } else if (word == "rdblquote") {
      CodePoint(0x201D);
    }
  }

  // Drops the characters that stand in for a \u character in readers that
  // do not know it: plain characters or \'hh escapes.
  void SkipFallback() {
    for (int n = state_.unicodeSkip; n > 0 && pos_ < in_.size(); --n) {
      if (in_[pos_] == '\\' && pos_ + 1 < in_.size() && in_[pos_ + 1] == '\'') {
        pos_ = std::min(in_.size(), pos_ + 4);
      } else if (in_[pos_] == '{' || in_[pos_] == '}' || in_[pos_] == '\\') {
        return;
      } else {
        ++pos_;
      }
    }
  }

  void HexByte() {
    int value = 0;
    for (int n = 0; n < 2; ++n) {
      if (pos_ >= in_.size() || !IsHexDigit(in_[pos_])) return;
      value = value * 16 + HexValue(in_[pos_++]);
    }
    // 8-bit characters are read as Latin-1.
    CodePoint(static_cast<char32_t>(value));
  }

  void FinishColourEntry(bool explicitEnd) {
    if (explicitEnd || !pending_.automatic) colours_.push_back(pending_);
    pending_ = Colour{};
  }

  void Character(char c) {
    if (state_.destination == Destination::ColourTable) {
      if (c == ';') FinishColourEntry(true);
      return;
    }
    if (state_.destination == Destination::Skip) return;
    groupStart_ = false;
    switch (c) {
      case '&':
        Emit("&amp;", false);
        break;
      case '<':
        Emit("&lt;", false);
        break;
      case '>':
        Emit("&gt;", false);
        break;
      case '"':
        Emit("&quot;", false);
        break;
      case ' ':
        // HTML folds runs of spaces; RTF keeps them.
        Emit(lastWasSpace_ ? "&nbsp;" : " ", true);
        break;
      default:
        Emit(std::string(1, c), false);
        break;
    }
  }

  void CodePoint(char32_t cp) {
    if (state_.destination != Destination::Text) return;
    if (cp == '&' || cp == '<' || cp == '>' || cp == '"' || cp == ' ') {
      Character(static_cast<char>(cp));
      return;
    }
    if (cp < 0x20 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return;
    if (cp == 0xA0) {
      Emit("&nbsp;", true);
      return;
    }
    std::string utf8;
    AppendUtf8(utf8, cp);
    Emit(utf8, false);
  }

  void Tab() {
    if (state_.destination != Destination::Text) return;
    OpenRun();
    out_ += "<span style=\"font-size:12pt\">";
    for (int n = 0; n < TabSpaces; ++n) out_ += "&nbsp;";
    out_ += "</span>";
    paragraphEmpty_ = false;
    lastWasSpace_ = true;
  }

  void Paragraph() {
    if (state_.destination != Destination::Text) return;
    // An empty paragraph still takes the height of the current font.
    if (paragraphEmpty_) Emit("&nbsp;", true);
    CloseRun();
    out_ += "<br>\n";
    paragraphEmpty_ = true;
    lastWasSpace_ = true;
  }

  void Emit(const std::string& html, bool isSpace) {
    OpenRun();
    out_ += html;
    paragraphEmpty_ = false;
    lastWasSpace_ = isSpace;
  }

  void OpenRun() {
    if (run_ && *run_ == state_.format) return;
    CloseRun();
    const CharFormat& f = state_.format;
    // Automatic entries and unknown indexes mean the default colour.
    const auto colour = static_cast<size_t>(f.colour);
    if (colour < colours_.size() && !colours_[colour].automatic) {
      const Colour& c = colours_[colour];
      out_ += fmt::format("<font color=\"#{:02x}{:02x}{:02x}\">", c.red, c.green, c.blue);
      runHasColour_ = true;
    } else {
      runHasColour_ = false;
    }
    // Half-points rounded up to whole points, the unit the view takes.
    out_ += fmt::format("<span style=\"font-size:{}pt\">", (f.halfPoints + 1) / 2);
    if (f.bold) out_ += "<b>";
    if (f.italic) out_ += "<i>";
    run_ = f;
  }

  void CloseRun() {
    if (!run_) return;
    if (run_->italic) out_ += "</i>";
    if (run_->bold) out_ += "</b>";
    out_ += "</span>";
    if (runHasColour_) out_ += "</font>";
    run_.reset();
  }

  // Text bytes pass through as they are, and a control word or a \u
  // fallback can cut a character apart. The view shows nothing at all of a
  // page that is not UTF-8, so a stray byte is read as Latin-1, like \'hh.
  static std::string ValidUtf8(const std::string& html) {
    std::string out;
    out.reserve(html.size());
    for (size_t pos = 0; pos < html.size();) {
      char32_t cp;
      const size_t n = DecodeUtf8(html, pos, cp);
      if (n == 0) {
        AppendUtf8(out, static_cast<unsigned char>(html[pos++]));
      } else {
        out.append(html, pos, n);
        pos += n;
      }
    }
    return out;
  }

  static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  static bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
  static int HexValue(char c) { return IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10; }

  std::string_view in_;
  size_t pos_ = 0;
  std::string out_;
  GroupState state_;
  std::vector<GroupState> stack_;
  size_t overflowDepth_ = 0;
  bool groupStart_ = false;
  // Colour-table entries by index; an entry without components is automatic.
  std::vector<Colour> colours_;
  Colour pending_;
  std::optional<CharFormat> run_;
  bool runHasColour_ = false;
  bool paragraphEmpty_ = true;
  bool lastWasSpace_ = true;
};

}  // namespace

std::string RtfToHtml(std::string_view rtf) { return Converter(rtf).Run(); }

}  // namespace orvane
