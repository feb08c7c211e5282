// Splitting a Windows-style parameter text into separate arguments, the way
// a program built with the current Microsoft C runtime splits its command
// line (the rules that follow the program name):
//
// - Spaces and tabs outside double quotes separate arguments; runs of them
//   count once, and leading or trailing ones produce nothing.
// - A double quote switches quoting on or off and is dropped; inside quotes
//   spaces and tabs are kept. "" opens and closes an empty argument.
// - Inside quotes, "" stands for one literal double quote and quoting stays
//   on (the rule since the 2008 runtime; older runtimes ended the quoting).
// - 2n backslashes followed by a double quote give n backslashes, and the
//   quote then acts as above; 2n+1 backslashes followed by a double quote
//   give n backslashes and a literal double quote.
// - Backslashes anywhere else are literal.
// - A quote left open at the end simply ends the last argument.
#pragma once

#include <string>
#include <vector>

namespace orvane {

std::vector<std::string> SplitWindowsCommandLine(const std::string& parameters);

}  // namespace orvane
