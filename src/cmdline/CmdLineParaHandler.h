// Command-line keys of the form --key=value (or -k), read once from the
// program's arguments or, when there are none, from the lines of "args.txt"
// in the program folder; plus the front of the program-wide help dialog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

// Text colours of the help dialog's rich-text lines.
enum class TColorSubSet { colBlack, colRed, colGreen, colBlue, colYellow };

// Replaces the process's argument list (argument 0 first) that handlers
// built without an explicit list read. Without a call the list comes from the
// operating system, so handlers work even before main has run.
void SetProcessArguments(int argc, const char* const* argv);

// The arguments handlers read: those set above, else the operating system's.
std::vector<std::string> GetProcessArguments();

// Converts like the runtime's integer parser: leading blanks, an optional
// sign, then decimal digits or hexadecimal ones after "$" or "0x"; nothing
// may follow and the number must fit a signed 32-bit integer.
bool TryTextToInt32(const std::string& text, std::int32_t& value);

// Converts a real number with "." as the decimal separator and an optional
// exponent, after leading blanks and an optional sign; independent of any
// locale setting.
bool TryTextToDouble(const std::string& text, double& value);

class TCmdLineParaHandler {
 public:
  // Reads the process's arguments (GetProcessArguments) and, when there are
  // none besides argument 0, the file "args.txt" in GetProgramFolder().
  TCmdLineParaHandler(bool AddAutoPrefix, bool HandleArgsCaseSensitive);
  // The same from an explicit argument list (argument 0 first) and folder
  // that holds "args.txt".
  TCmdLineParaHandler(bool AddAutoPrefix, bool HandleArgsCaseSensitive, std::vector<std::string> Args,
                      const std::string& ProgramFolder);

  bool WasCalledWithArgs() const { return FArgsAvailable; }
  std::int32_t GetNumberOfArgs() const { return FNumArgs; }
  const std::string& GetExeNameAndPath() const { return FExeName; }

  // Presence of the long key (--Key) or the short key (-ShortKey); remembers
  // both for the value getters called with an empty Key.
  bool IsKeyAvailable(const std::string& Key, const std::string& ShortKey);

  // Values; "", -1 and -1.0 when the key is absent or the value does not
  // convert. An empty Key means the pair given to the last IsKeyAvailable.
  std::string GetValueAsStr(const std::string& Key, const std::string& ShortKey) const;
  std::int32_t GetValueAsInt(const std::string& Key, const std::string& ShortKey) const;
  double GetValueAsReal(const std::string& Key, const std::string& ShortKey) const;

  // The stored entries joined by single spaces.
  std::string GetAllArgsAsStr() const;

  // The help dialog, shared by every handler (HelpForm.h). Init comes
  // first; the other operations do nothing before it.
  void HelpDlg_Init(const std::string& WdwCaption, bool UseMarkDown);
  void HelpDlg_Show();
  void HelpDlg_SetDimensions(int pWidth, int pHeight);
  void HelpDlg_AddCommand(const std::string& Cmd, const std::string& SameLineDesc);
  void HelpDlg_AddDesc(const std::string& Desc);
  // Red warning line; bold unless bold is false.
  void HelpDlg_AddWarning(const std::string& WarnText, bool bold);
  void HelpDlg_AddPlainText(const std::string& Txt, int FontSize, bool bold, bool italic, TColorSubSet Color);
  void HelpDlg_AddEmptyLine();
  void HelpDlg_AddMarkdownLine(const std::string& Txt);
  // Adds every line of a UTF-8 file as a Markdown line; false when the file
  // cannot be read.
  bool HelpDlg_LoadMarkdownFile(const std::string& fnam);

 private:
  struct KeyPair {
    std::string longKey;
    std::string shortKey;
  };

  void ReadEntries(std::vector<std::string> raw);
  std::string LongForm(const std::string& key) const;
  std::string ShortForm(const std::string& key) const;
  bool ChooseKeys(const std::string& Key, const std::string& ShortKey, KeyPair& pair) const;
  // Value of the first entry whose key equals keyForm ignoring case; empty
  // when there is none.
  std::string FindValueIgnoringCase(const std::string& keyForm) const;
  template <typename T>
  T GetConverted(const std::string& Key, const std::string& ShortKey, T fallback,
                 bool (*convert)(const std::string&, T&)) const;

  std::vector<std::string> FCmdLineParas;
  bool FAddAutoPrefix;
  bool FArgsAvailable = false;
  std::int32_t FNumArgs = 0;
  std::string FExeName;
  bool FIsCaseSensitive;
  bool FMarkDown = false;
  std::string FLastLongKey;
  std::string FLastShortKey;
};

}  // namespace orvane
