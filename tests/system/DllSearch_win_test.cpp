// Where DLLs come from when a program is started from a folder holding a
// planted "version.dll" (a system DLL's name, not a Known DLL): a copy of
// the probe program (support/dllprobe), linked as the program is, started
// from such a folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

fs::path SystemFolder() {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  return n > 0 && n < MAX_PATH ? fs::path(std::wstring(folder, n)) : fs::path();
}

bool SamePath(const fs::path& a, const fs::path& b) {
  return CompareStringOrdinal(a.wstring().c_str(), -1, b.wstring().c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The version.dll the probe got in that mode, started from folder.
fs::path ProbeVersionDll(const fs::path& folder, const std::string& mode) {
  const fs::path out = folder / ("probe-" + mode + ".txt");
  const test::ScopedEnv modeVariable("ORVANE_DLLPROBE_MODE", mode);
  const test::ScopedEnv outVariable("ORVANE_DLLPROBE_OUT", test::PathUtf8(out));
  test::TStartedProcess probe(folder / "probe.exe");
  EXPECT_EQ(probe.Wait(), 0u) << mode;
  std::ifstream in(out, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
  bytes.copy(reinterpret_cast<char*>(text.data()), text.size() * sizeof(wchar_t));
  return fs::path(text);
}

TEST(DllSearchWin, APlantedSystemDllBesideTheProgramIsNotLoaded) {
  test::TempDir dir;
  fs::copy_file(test::Utf8Path(GetProgramFolder()) / ORVANE_DLLPROBE_EXE, dir.path() / "probe.exe");
  const fs::path planted = dir.path() / "version.dll";
  fs::copy_file(test::Utf8Path(GetProgramFolder()) / ORVANE_PLANTED_DLL, planted);
  const fs::path system = SystemFolder() / "version.dll";

  // The restriction main applies, and the delay-load hook on its own: the
  // system's version.dll either way.
  for (const std::string mode : {"restricted", "delay-loaded"}) {
    const fs::path loaded = ProbeVersionDll(dir.path(), mode);
    EXPECT_TRUE(SamePath(loaded, system)) << mode << ": " << test::PathUtf8(loaded);
  }

  // Without them the program's folder comes first, and the planted DLL is
  // what a load by name gets. Wine takes its own built-in version.dll
  // before a DLL in the program's folder, so there the attack cannot be
  // shown.
  const fs::path unrestricted = ProbeVersionDll(dir.path(), "by-name");
  if (test::RunningUnderWine() && SamePath(unrestricted, system))
    GTEST_SKIP() << "Wine loads its built-in version.dll before the one in the program's folder";
  EXPECT_TRUE(SamePath(unrestricted, planted)) << test::PathUtf8(unrestricted);
}

}  // namespace
}  // namespace orvane
