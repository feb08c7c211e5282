// A small Windows program that tests start in place of a real one (copied
// under the name they need, such as TeamViewer.exe):
//
// - It writes the arguments after its own name, as the system's own splitting
//   (CommandLineToArgvW) sees them, one UTF-8 line each, into the file named
//   by ORVANE_STANDIN_OUT. The lines go to "<file>.part" first, which is then
//   renamed, so a test that sees the file sees all of it.
// - Then it waits ORVANE_STANDIN_SECONDS seconds (60 when unset) and exits
//   with code 3, so that a test can tell its own end from a kill.
#include <windows.h>
// windows.h first: the shell header relies on it.
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[32768];
  const DWORD n = GetEnvironmentVariableW(name, value, 32768);
  return n > 0 && n < 32768 ? std::wstring(value, n) : std::wstring();
}

std::string ToUtf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.pop_back();  // the terminator
  return out;
}

bool WriteArguments(const std::wstring& file) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!args) return false;
  std::string text;
  for (int i = 1; i < count; ++i) text += ToUtf8(args[i]) + "\n";
  LocalFree(args);

  const std::wstring part = file + L".part";
  const HANDLE h =
      CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
  CloseHandle(h);
  return ok && MoveFileExW(part.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int main() {
  const std::wstring out = Environment(L"ORVANE_STANDIN_OUT");
  if (!out.empty() && !WriteArguments(out)) return 2;
  const std::wstring seconds = Environment(L"ORVANE_STANDIN_SECONDS");
  Sleep(static_cast<DWORD>(seconds.empty() ? 60 : std::wcstoul(seconds.c_str(), nullptr, 10)) * 1000);
  return 3;
}
