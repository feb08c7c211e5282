// winsock2.h before windows.h (which the own header brings), or the old
// winsock.h gets in the way.
#include <winsock2.h>

#include "support/WindowsTestSupport_win.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "system/OSFunctions_win.h"
#include "system/ProcessHelper.h"
#include "system/SysUtils.h"

namespace orvane::test {

namespace {

// Runs a command line (the program found the way CreateProcessW finds it)
// with its output discarded, and returns its exit code.
DWORD RunToEnd(const std::string& commandLine) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  PROCESS_INFORMATION info{};
  std::wstring line = Utf8ToWide(commandLine);
  const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &info);
  const DWORD startError = GetLastError();
  CloseHandle(nul);
  if (!started)
    throw std::runtime_error("cannot run " + commandLine + ": error " + std::to_string(startError));
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return code;
}

}  // namespace

std::filesystem::path Utf8Path(const std::string& text) { return std::filesystem::path(Utf8ToWide(text)); }

std::string PathUtf8(const std::filesystem::path& path) { return WideToUtf8(path.wstring()); }

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool RunningUnderWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool Running64BitWindows() { return sizeof(void*) == 8 || RunningUnderWow64(); }

std::filesystem::path StandInProgram() { return Utf8Path(GetProgramFolder()) / ORVANE_STANDIN_EXE; }

std::filesystem::path VersionedProgram() { return Utf8Path(GetProgramFolder()) / ORVANE_VERSIONED_EXE; }

TStartedProcess::TStartedProcess(const std::filesystem::path& exe) {
  std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.wstring().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    throw std::runtime_error("cannot start " + PathUtf8(exe) + ": error " + std::to_string(GetLastError()));
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  pid_ = info.dwProcessId;
}

TStartedProcess::~TStartedProcess() {
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, INFINITE);
  }
  CloseHandle(process_);
}

DWORD TStartedProcess::Wait() {
  WaitForSingleObject(process_, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

DWORD RunReg(const std::vector<std::string>& arguments) {
  std::string commandLine = "reg";
  for (const std::string& argument : arguments) {
    commandLine += ' ';
    commandLine += QuoteWindowsArgument(argument);
  }
  return RunToEnd(commandLine);
}

bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 3000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

bool WaitForFile(const std::filesystem::path& file) {
  // Existing is not enough: the stand-in renames its finished file into
  // place, and the rename's own handle (opened for deletion) stays open a
  // moment longer. A reader that does not share deletion, as the C runtime's
  // fopen does not, is refused until then and would read nothing.
  return WaitUntil([&] {
    const HANDLE h = CreateFileW(file.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  });
}

bool LoopbackPortAccepts(int port) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok =
      s != INVALID_SOCKET && connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (s != INVALID_SOCKET) closesocket(s);
  WSACleanup();
  return ok;
}

std::string ReadLogFrom(const std::filesystem::path& file, std::uintmax_t offset) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the proxy log " + PathUtf8(file));
  in.seekg(static_cast<std::streamoff>(offset));
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WaitForNoProcess(const std::string& exeName) {
  return WaitUntil([&] { return GetPidByExeName(exeName) == 0; });
}

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  // An unreadable file must not pass for one without lines.
  if (!in) throw std::runtime_error("cannot read " + PathUtf8(file));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string QuoteWindowsArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled and the quote escaped; others
    // stay as they are.
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    quoted += c;
    backslashes = 0;
  }
  // Before the closing quote, backslashes are doubled too.
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

}  // namespace orvane::test
