// Fixtures for the tests of the Windows variants: UTF-8 paths, the helper
// programs built beside the test programs (support/standin,
// support/versioned), programs started and stopped by the test itself, and
// the system's own reg.exe run to its end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace orvane::test {

// A path from UTF-8 text and back. std::filesystem takes narrow text in the
// ANSI code page on Windows, which cannot hold every name.
std::filesystem::path Utf8Path(const std::string& text);
std::string PathUtf8(const std::filesystem::path& path);

// Whether the program runs under Wine (its ntdll exports wine_get_version),
// for the few assertions where Wine is known to answer differently.
bool RunningUnderWine();

// Whether this is a 32-bit program on 64-bit Windows (WOW64, as customers
// run the shipped program), and whether Windows itself is 64-bit, for the
// tests of registry views and 64-bit programs beside a 32-bit one.
bool RunningUnderWow64();
bool Running64BitWindows();

// The stand-in program (support/standin/StandIn.cpp) and the program with
// version 4.3.2.1 (support/versioned), in the test program's folder.
std::filesystem::path StandInProgram();
std::filesystem::path VersionedProgram();

// A program started with CreateProcessW. Whatever still runs when the object
// goes is terminated and waited for, so that its folder can be removed.
class TStartedProcess {
 public:
  // Started without parameters.
  explicit TStartedProcess(const std::filesystem::path& exe);
  ~TStartedProcess();
  TStartedProcess(const TStartedProcess&) = delete;
  TStartedProcess& operator=(const TStartedProcess&) = delete;

  std::uint32_t Pid() const { return pid_; }
  // Waits for the end; the exit code.
  DWORD Wait();

 private:
  HANDLE process_ = nullptr;
  std::uint32_t pid_ = 0;
};

// Runs the system's reg.exe with these arguments (each quoted as needed),
// its output discarded, and returns its exit code: 0 done, 1 failed (a
// missing key for "query").
DWORD RunReg(const std::vector<std::string>& arguments);

// Waits for done() to hold, looking every 10 ms. The bound (30 s) only
// keeps a broken start from hanging the run.
bool WaitUntil(const std::function<bool()>& done);

// Waits for a file that a started program writes last until it can be
// read (same bound).
bool WaitForFile(const std::filesystem::path& file);

// Whether something accepts TCP connections on 127.0.0.1:port.
bool LoopbackPortAccepts(int port);

// A proxy's log from a byte offset on (what one test made it write).
std::string ReadLogFrom(const std::filesystem::path& file, std::uintmax_t offset);

// Waits until no process of that executable name is left (same bound).
bool WaitForNoProcess(const std::string& exeName);

std::vector<std::string> ReadLines(const std::filesystem::path& file);

// One argument quoted for a Windows command line so that the C runtime's
// and CommandLineToArgvW's splitting both give it back unchanged: quotes
// only where needed, a literal quote as \" (never ""), and backslashes
// doubled only before a quote.
std::string QuoteWindowsArgument(const std::string& argument);

}  // namespace orvane::test
