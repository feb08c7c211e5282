#include "cmdline/CmdLineParaHandler.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <system_error>

#include "cmdline/HelpForm.h"
#include "cmdline/SystemArguments.h"
#include "system/OSFunctions.h"
#include "system/SysUtils.h"

namespace orvane {

namespace {

constexpr const char* LongPrefix = "--";
constexpr const char* ShortPrefix = "-";
constexpr const char* ArgsFileName = "args.txt";

std::optional<std::vector<std::string>>& ProcessArgumentsOverride() {
  static std::optional<std::vector<std::string>> args;
  return args;
}

// The lines of a UTF-8 text file: a leading byte-order mark is dropped, lines
// end at LF with an optional CR before it, and a final line break does not
// start another line.
std::optional<std::vector<std::string>> ReadTextLines(const std::string& fileName) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return std::nullopt;
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return std::nullopt;
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.rfind("\xEF\xBB\xBF", 0) == 0) data.erase(0, 3);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    std::string line = data.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string EntryKey(const std::string& entry) { return entry.substr(0, entry.find('=')); }

TColorSubSet_int ToFormColour(TColorSubSet colour) {
  switch (colour) {
    case TColorSubSet::colBlack:
      return TColorSubSet_int::black;
    case TColorSubSet::colRed:
      return TColorSubSet_int::red;
    case TColorSubSet::colGreen:
      return TColorSubSet_int::green;
    case TColorSubSet::colBlue:
      return TColorSubSet_int::blue;
    case TColorSubSet::colYellow:
      return TColorSubSet_int::yellow;
  }
  return TColorSubSet_int::black;
}

}  // namespace

void SetProcessArguments(int argc, const char* const* argv) {
  std::vector<std::string> args;
  args.reserve(argc > 0 ? static_cast<size_t>(argc) : 0);
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  ProcessArgumentsOverride() = std::move(args);
}

std::vector<std::string> GetProcessArguments() {
  if (ProcessArgumentsOverride()) return *ProcessArgumentsOverride();
  return GetSystemArguments();
}

bool TryTextToInt32(const std::string& text, std::int32_t& value) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  // Magnitude limit: 2^31 for a negative number, 2^31 - 1 otherwise.
  const std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + (negative ? 1 : 0);
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return false;
  }
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

bool TryTextToDouble(const std::string& text, double& value) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Digits, one point and an exponent only: no "inf", "nan" or hexadecimal
  // forms, which from_chars would otherwise accept.
  if (i == text.size() || !((text[i] >= '0' && text[i] <= '9') || text[i] == '.')) return false;
  for (size_t j = i; j < text.size(); ++j) {
    const char c = text[j];
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) return false;
  }
  double parsed = 0;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, parsed, std::chars_format::general);
  if (ec != std::errc() || end != last) return false;
  value = negative ? -parsed : parsed;
  return true;
}

TCmdLineParaHandler::TCmdLineParaHandler(bool AddAutoPrefix, bool HandleArgsCaseSensitive)
    : TCmdLineParaHandler(AddAutoPrefix, HandleArgsCaseSensitive, GetProcessArguments(), GetProgramFolder()) {
  // Argument 0 need not be a full path; the running program's is known.
  if (std::string exe = GetExecutablePath(); !exe.empty()) FExeName = std::move(exe);
}

TCmdLineParaHandler::TCmdLineParaHandler(bool AddAutoPrefix, bool HandleArgsCaseSensitive,
                                         std::vector<std::string> Args, const std::string& ProgramFolder)
    : FAddAutoPrefix(AddAutoPrefix), FIsCaseSensitive(HandleArgsCaseSensitive) {
  if (!Args.empty()) FExeName = Args.front();
  if (Args.size() > 1) {
    Args.erase(Args.begin());
    ReadEntries(std::move(Args));
  } else if (!ProgramFolder.empty()) {
    // The file stands in for an empty command line only.
    if (auto lines = ReadTextLines(AddTrailingBackslash(ProgramFolder) + ArgsFileName))
      ReadEntries(std::move(*lines));
  }
}

void TCmdLineParaHandler::ReadEntries(std::vector<std::string> raw) {
  for (std::string& entry : raw) {
    const size_t eq = entry.find('=');
    if (eq == std::string::npos) {
      entry += '=';
      if (!FIsCaseSensitive) entry = LowerCaseText(entry);
    } else if (!FIsCaseSensitive) {
      entry = LowerCaseText(entry.substr(0, eq)) + entry.substr(eq);
    }
    FCmdLineParas.push_back(std::move(entry));
  }
  FNumArgs = static_cast<std::int32_t>(FCmdLineParas.size());
  FArgsAvailable = !FCmdLineParas.empty();
}

std::string TCmdLineParaHandler::LongForm(const std::string& key) const {
  std::string form = FAddAutoPrefix ? LongPrefix + key : key;
  return FIsCaseSensitive ? form : LowerCaseText(form);
}

std::string TCmdLineParaHandler::ShortForm(const std::string& key) const {
  std::string form = FAddAutoPrefix ? ShortPrefix + key : key;
  return FIsCaseSensitive ? form : LowerCaseText(form);
}

bool TCmdLineParaHandler::IsKeyAvailable(const std::string& Key, const std::string& ShortKey) {
  FLastLongKey = Key;
  FLastShortKey = ShortKey;
  const auto present = [this](const std::string& form) {
    for (const std::string& entry : FCmdLineParas)
      if (EntryKey(entry) == form) return true;
    return false;
  };
  if (!Key.empty() && present(LongForm(Key))) return true;
  return !ShortKey.empty() && present(ShortForm(ShortKey));
}

// The pair a getter works on: the given one, else the one the last presence
// test remembered. A getter given neither long key falls back to a short key
// alone, the given one before the remembered one.
bool TCmdLineParaHandler::ChooseKeys(const std::string& Key, const std::string& ShortKey,
                                     KeyPair& pair) const {
  if (!Key.empty())
    pair = {Key, ShortKey};
  else if (!FLastLongKey.empty())
    pair = {FLastLongKey, FLastShortKey};
  else
    pair = {"", ShortKey.empty() ? FLastShortKey : ShortKey};
  return !pair.longKey.empty() || !pair.shortKey.empty();
}

std::string TCmdLineParaHandler::FindValueIgnoringCase(const std::string& keyForm) const {
  const std::string wanted = LowerCaseText(keyForm);
  for (const std::string& entry : FCmdLineParas) {
    const size_t eq = entry.find('=');
    if (LowerCaseText(entry.substr(0, eq)) == wanted) return entry.substr(eq + 1);
  }
  return {};
}

std::string TCmdLineParaHandler::GetValueAsStr(const std::string& Key, const std::string& ShortKey) const {
  KeyPair pair;
  if (!ChooseKeys(Key, ShortKey, pair)) return {};
  std::string value;
  if (!pair.longKey.empty()) value = FindValueIgnoringCase(LongForm(pair.longKey));
  if (value.empty() && !pair.shortKey.empty()) value = FindValueIgnoringCase(ShortForm(pair.shortKey));
  return value;
}

template <typename T>
T TCmdLineParaHandler::GetConverted(const std::string& Key, const std::string& ShortKey, T fallback,
                                    bool (*convert)(const std::string&, T&)) const {
  KeyPair pair;
  if (!ChooseKeys(Key, ShortKey, pair)) return fallback;
  T result = fallback;
  if (!pair.longKey.empty()) {
    const std::string value = FindValueIgnoringCase(LongForm(pair.longKey));
    if (!value.empty() && convert(value, result)) return result;
  }
  if (!pair.shortKey.empty() && convert(FindValueIgnoringCase(ShortForm(pair.shortKey)), result))
    return result;
  return fallback;
}

std::int32_t TCmdLineParaHandler::GetValueAsInt(const std::string& Key, const std::string& ShortKey) const {
  return GetConverted<std::int32_t>(Key, ShortKey, -1, TryTextToInt32);
}

double TCmdLineParaHandler::GetValueAsReal(const std::string& Key, const std::string& ShortKey) const {
  return GetConverted<double>(Key, ShortKey, -1.0, TryTextToDouble);
}

std::string TCmdLineParaHandler::GetAllArgsAsStr() const {
  std::string all;
  for (size_t i = 0; i < FCmdLineParas.size(); ++i) {
    if (i > 0) all += ' ';
    all += FCmdLineParas[i];
  }
  return all;
}

void TCmdLineParaHandler::HelpDlg_Init(const std::string& WdwCaption, bool UseMarkDown) {
  if (!HelpForm) HelpForm = std::make_unique<THelpForm>();
  HelpForm->SetWindowCaption(WdwCaption);
  if (UseMarkDown) HelpForm->ToggleMarkdown();
  FMarkDown = UseMarkDown;
  HelpForm->SetDimensions(1024, 768);
}

void TCmdLineParaHandler::HelpDlg_Show() {
  if (HelpForm) HelpForm->ShowModal();
}

void TCmdLineParaHandler::HelpDlg_SetDimensions(int pWidth, int pHeight) {
  if (HelpForm) HelpForm->SetDimensions(pWidth, pHeight);
}

void TCmdLineParaHandler::HelpDlg_AddCommand(const std::string& Cmd, const std::string& SameLineDesc) {
  if (!HelpForm) return;
  HelpForm->AddTextLine(Cmd, 0, 9, true, true, TColorSubSet_int::black);
  if (!SameLineDesc.empty()) HelpDlg_AddDesc(SameLineDesc);
}

void TCmdLineParaHandler::HelpDlg_AddDesc(const std::string& Desc) {
  if (HelpForm) HelpForm->AddTextLine(Desc, 1, 9, false, false, TColorSubSet_int::black);
}

void TCmdLineParaHandler::HelpDlg_AddWarning(const std::string& WarnText, bool bold) {
  if (HelpForm) HelpForm->AddTextLine(WarnText, 0, 9, bold, false, TColorSubSet_int::red);
}

void TCmdLineParaHandler::HelpDlg_AddPlainText(const std::string& Txt, int FontSize, bool bold, bool italic,
                                               TColorSubSet Color) {
  if (HelpForm) HelpForm->AddTextLine(Txt, 0, FontSize, bold, italic, ToFormColour(Color));
}

void TCmdLineParaHandler::HelpDlg_AddEmptyLine() {
  if (!HelpForm) return;
  if (FMarkDown)
    HelpForm->MarkDownAddLine("");
  else
    HelpForm->AddTextLine("", 0, 9, false, false, TColorSubSet_int::black);
}

void TCmdLineParaHandler::HelpDlg_AddMarkdownLine(const std::string& Txt) {
  if (HelpForm) HelpForm->MarkDownAddLine(Txt);
}

bool TCmdLineParaHandler::HelpDlg_LoadMarkdownFile(const std::string& fnam) {
  const auto lines = ReadTextLines(fnam);
  if (!lines) return false;
  for (const std::string& line : *lines) HelpDlg_AddMarkdownLine(line);
  return true;
}

}  // namespace orvane
