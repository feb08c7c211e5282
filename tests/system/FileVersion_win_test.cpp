// File versions through GetFileVersionInfoW: a program whose version
// resource the resource compiler built, and the system's own failure codes
// with their texts.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/PeBuilder.h"
#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"
#include "system/OSFunctions.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::PathUtf8;
using test::TempDir;
using test::Utf8Path;
using test::WriteFileBytes;

std::string Failure(DWORD code) {
  return "GetFileVersionInfo failed: (" + std::to_string(code) + ") " +
         SystemErrorMessage(static_cast<int>(code));
}

TEST(FileVersionWin, ReadsTheVersionResourceOfABuiltProgram) {
  // In a folder with a non-ASCII name: the name must reach the system intact.
  TempDir dir;
  const fs::path folder = dir.path() / Utf8Path("M\xC3\xBChle");
  fs::create_directory(folder);
  const fs::path exe = folder / "versioned.exe";
  fs::copy_file(test::VersionedProgram(), exe);
  const std::string file = PathUtf8(exe);

  EXPECT_EQ(GetFileVersionString(file, true, "V", false), " V4.3.2 build 1");
  EXPECT_EQ(GetFileVersionString(file, true, "V", true), " V4.3.2_b1");
  EXPECT_EQ(GetFileVersionString(file, false, "", false), " 4.3.2");
  int major = -1, minor = -1, release = -1, build = -1;
  EXPECT_EQ(GetFileVersionNumbers(file, major, minor, release, build), "");
  EXPECT_EQ((std::vector<int>{major, minor, release, build}), (std::vector<int>{4, 3, 2, 1}));
}

// Failures give the system's code and its text and leave the numbers alone.
TEST(FileVersionWin, FailuresCarryTheSystemsCodeAndText) {
  TempDir dir;
  WriteFileBytes(dir / "notes.exe", "just text\r\n");
  WriteFileBytes(dir / "plain.exe", test::BuildPeImage({.versionResource = false}).bytes);
  test::PeImage icon = test::BuildPeImage();
  icon.bytes[icon.resourceOffset + 16] = 3;  // the first type is RT_ICON instead of RT_VERSION
  WriteFileBytes(dir / "icon.exe", icon.bytes);
  WriteFileBytes(dir / "locked.exe", test::BuildPeImage().bytes);
  // Held open by another handle that shares nothing.
  const HANDLE locked = CreateFileW((dir / "locked.exe").wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  const struct {
    const char* name;
    long code;  // the type of the ERROR_ constants
  } cases[] = {
      {"missing.exe", ERROR_FILE_NOT_FOUND},
      {"missing\\tool.exe", ERROR_PATH_NOT_FOUND},
      {"notes.exe", ERROR_RESOURCE_DATA_NOT_FOUND},
      {"plain.exe", ERROR_RESOURCE_DATA_NOT_FOUND},  // no resource section at all
      // Resources without a version: Wine says 1812 here too, where Windows
      // tells the two cases apart.
      {"icon.exe", test::RunningUnderWine() ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND},
      {"locked.exe", ERROR_SHARING_VIOLATION},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = (dir / c.name).string();
    EXPECT_EQ(GetFileVersionString(file, true, "V", false), Failure(c.code));
    int major = 7, minor = 7, release = 7, build = 7;
    EXPECT_EQ(GetFileVersionNumbers(file, major, minor, release, build), Failure(c.code));
    EXPECT_EQ((std::vector<int>{major, minor, release, build}), (std::vector<int>{7, 7, 7, 7}));
    // FormatMessage's text ends with a full stop and a line break; the
    // failure shows it without them.
    const std::string text = SystemErrorMessage(static_cast<int>(c.code));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(std::string(". \t\r\n").find(text.back()), std::string::npos) << text;
  }
  CloseHandle(locked);
}

}  // namespace
}  // namespace orvane
