// The shortcut button on Windows: the copy in the configuration folder and
// the two shell links, read back through IShellLinkW. The user's desktop and
// start menu point into a temporary folder during each test and are put back
// afterwards, so no link reaches the real desktop. Both keys are set: the
// shell resolves its folders from "User Shell Folders" and rewrites "Shell
// Folders" from them whenever it is asked (Wine on every copy).
#include <windows.h>
// windows.h first: the shell headers rely on it.
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ShortcutsFixture.h"
#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"
#include "system/OSFunctions_win.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::PathUtf8;
using test::ReadFileBytes;
using test::WriteFileBytes;

constexpr wchar_t kExplorer[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

// A value with its type (REG_SZ or REG_EXPAND_SZ).
struct TValue {
  std::wstring text;
  DWORD type = REG_SZ;
};

std::optional<TValue> ReadValue(const std::wstring& key, const wchar_t* name) {
  wchar_t text[MAX_PATH * 2] = {};
  DWORD size = sizeof text;
  TValue value;
  if (RegGetValueW(HKEY_CURRENT_USER, (kExplorer + key).c_str(), name,
                   RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &value.type, text,
                   &size) != ERROR_SUCCESS)
    return std::nullopt;
  value.text = text;
  return value;
}

void WriteValue(const std::wstring& key, const wchar_t* name, const std::optional<TValue>& value) {
  const std::wstring path = kExplorer + key;
  if (!value) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, path.c_str(), name);
    return;
  }
  EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name, value->type, value->text.c_str(),
                            static_cast<DWORD>((value->text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

// One registry value set for the life of the object, then restored.
class ScopedShellFolder {
 public:
  // Both keys at once: the folder the shell answers with and the legacy value.
  ScopedShellFolder(const wchar_t* name, const fs::path& folder)
      : ScopedShellFolder(L"Shell Folders", name, folder) {
    fUser = std::make_unique<ScopedShellFolder>(L"User Shell Folders", name, folder);
  }
  ScopedShellFolder(std::wstring key, const wchar_t* name, const std::optional<fs::path>& folder)
      : fKey(std::move(key)), fName(name), fOld(ReadValue(fKey, name)) {
    WriteValue(fKey, fName, folder ? std::optional<TValue>(TValue{folder->wstring()}) : std::nullopt);
  }
  ~ScopedShellFolder() {
    fUser.reset();
    WriteValue(fKey, fName, fOld);
  }
  ScopedShellFolder(const ScopedShellFolder&) = delete;
  ScopedShellFolder& operator=(const ScopedShellFolder&) = delete;

 private:
  std::wstring fKey;
  const wchar_t* fName;
  std::optional<TValue> fOld;
  std::unique_ptr<ScopedShellFolder> fUser;
};

struct TLinkFields {
  std::string path, workingDirectory, description;
};

TLinkFields ReadLink(const fs::path& file) {
  TLinkFields fields;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IShellLinkW* link = nullptr;
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
      SUCCEEDED(persist->Load(file.wstring().c_str(), STGM_READ))) {
    wchar_t text[MAX_PATH * 2] = {};
    if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) fields.path = WideToUtf8(text);
    if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) fields.workingDirectory = WideToUtf8(text);
    if (SUCCEEDED(link->GetDescription(text, MAX_PATH))) fields.description = WideToUtf8(text);
  }
  if (persist) persist->Release();
  if (link) link->Release();
  CoUninitialize();
  return fields;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(PathUtf8(entry.path().filename()));
  return names;
}

class ShortcutWin : public test::ShortcutTest {
 protected:
  ShortcutWin() {
    fs::create_directories(desktop);
    fs::create_directories(programs);
    InstallProgram("MZ version 1");
    launch.configPath = PathUtf8(folder) + "\\";
  }

  // Clicks only while the shell answers with the temporary folders.
  void SetUp() override {
    ASSERT_EQ(ShellFolder(CSIDL_DESKTOPDIRECTORY), PathUtf8(desktop) + "\\");
    ASSERT_EQ(ShellFolder(CSIDL_STARTMENU), PathUtf8(startMenu) + "\\");
    ASSERT_EQ(ShellFolder(CSIDL_PROGRAMS), PathUtf8(programs) + "\\");
  }

  void InstallProgram(const std::string& bytes) {
    WriteFileBytes(running / "OrvaneSupport.exe", bytes);
    launch.program = PathUtf8(running / "OrvaneSupport.exe");
  }

  void ExpectLinks(const std::vector<fs::path>& folders) {
    for (const fs::path& linkFolder : folders) {
      EXPECT_EQ(Names(linkFolder), std::vector<std::string>{"OrvaneSupport.lnk"}) << PathUtf8(linkFolder);
      const TLinkFields link = ReadLink(linkFolder / "OrvaneSupport.lnk");
      EXPECT_EQ(link.path, PathUtf8(copy));
      EXPECT_EQ(link.workingDirectory, PathUtf8(folder) + "\\");
      EXPECT_EQ(link.description, "Orvane Support Assistant");
    }
  }

  test::TempDir dir;
  test::TempDir running;
  const fs::path folder = dir.path() / test::Utf8Path("conf \xC3\xBC") / "RemoteSupport";
  const fs::path copy = folder / "OrvaneSupport.exe";
  const fs::path desktop = dir / "Desktop";
  const fs::path startMenu = dir / "Start Menu";
  const fs::path programs = startMenu / "Programs";
  ScopedShellFolder desktopValue{L"Desktop", desktop};
  ScopedShellFolder startMenuValue{L"Start Menu", startMenu};
  ScopedShellFolder programsValue{L"Programs", programs};
};

// The start menu link goes below "Programs", the only part of the start menu
// that Windows 8 and later list; the start menu's own folder stays as it was.
TEST_F(ShortcutWin, ClicksInstallTheCopyAndRewriteBothLinks) {
  ASSERT_EQ(Click(), test::kCreated);
  EXPECT_EQ(ReadFileBytes(copy), "MZ version 1");
  ExpectLinks({desktop, programs});
  EXPECT_EQ(Names(startMenu), std::vector<std::string>{"Programs"});

  InstallProgram("MZ version 2");
  ASSERT_EQ(Click(), test::kCreated);
  EXPECT_EQ(ReadFileBytes(copy), "MZ version 2");
  ExpectLinks({desktop, programs});

  // Started from the copy itself: nothing to copy, the links are written.
  fs::remove(desktop / "OrvaneSupport.lnk");
  launch.program = PathUtf8(copy);
  ASSERT_EQ(Click(), test::kCreated);
  EXPECT_EQ(ReadFileBytes(copy), "MZ version 2");
  ExpectLinks({desktop, programs});
}

// Without a "Shell Folders" value the link goes into the shell's own folder,
// not into the root of the drive.
TEST_F(ShortcutWin, AMissingShellFoldersValueFallsBackToTheShell) {
  const fs::path known = dir / "Known Desktop";
  const fs::path knownPrograms = dir / "Known Programs";
  fs::create_directories(known);
  fs::create_directories(knownPrograms);
  ASSERT_EQ(Click(), test::kCreated);
  // Run from the copy, so that no shell copy rewrites the values meanwhile.
  launch.program = PathUtf8(copy);
  ScopedShellFolder redirected{L"User Shell Folders", L"Desktop", known};
  ScopedShellFolder noValue{L"Shell Folders", L"Desktop", std::nullopt};
  ScopedShellFolder redirectedPrograms{L"User Shell Folders", L"Programs", knownPrograms};
  ScopedShellFolder noProgramsValue{L"Shell Folders", L"Programs", std::nullopt};
  ASSERT_EQ(Click(), test::kCreated);
  ExpectLinks({known, knownPrograms});
}

}  // namespace
}  // namespace orvane
