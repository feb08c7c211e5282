#include <gtest/gtest.h>

#include "OrvaneBuildConfig.h"
#include "support/PeBuilder.h"
#include "support/TestSupport.h"
#include "system/FileVersion.h"
#include "system/OSFunctions.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

using test::TempDir;

TEST(FileVersion, TextsInAllThreeFormsForPe32AndPe32Plus) {
  TempDir dir;
  for (bool plus : {false, true}) {
    const auto file = (dir / (plus ? "tool64.exe" : "tool32.exe")).string();
    test::WritePeFile(file, {.fileVersion = {1, 2, 3, 4}, .pe32Plus = plus});
    EXPECT_EQ(GetFileVersionString(file, true, "V", false), " V1.2.3 build 4");
    EXPECT_EQ(GetFileVersionString(file, true, "V", true), " V1.2.3_b4");
    EXPECT_EQ(GetFileVersionString(file, false, "V", true), " V1.2.3");
    EXPECT_EQ(GetFileVersionString(file, false, "", false), " 1.2.3");
  }
}

TEST(FileVersion, NumbersUseAllSixteenBitsOfEachPart) {
  TempDir dir;
  const auto file = (dir / "TeamViewer.exe").string();
  test::WritePeFile(file, {.fileVersion = {65535, 1, 40000, 32768}, .productVersion = {13, 0, 0, 0}});
  int major = -1, minor = -1, release = -1, build = -1;
  EXPECT_EQ(GetFileVersionNumbers(file, major, minor, release, build), "");
  EXPECT_EQ((std::vector<int>{major, minor, release, build}), (std::vector<int>{65535, 1, 40000, 32768}));
}

TEST(FileVersion, RunningProgramReportsTheBuildVersion) {
  const std::string version = std::to_string(ORVANE_VERSION_MAJOR) + "." +
                              std::to_string(ORVANE_VERSION_MINOR) + "." +
                              std::to_string(ORVANE_VERSION_PATCH);
  EXPECT_EQ(GetFileVersionString("", true, "V", false), " V" + version + " build 0");
  EXPECT_EQ(GetFileVersionString(GetExecutablePath(), true, "V", true), " V" + version + "_b0");
  int major = -1, minor = -1, release = -1, build = -1;
  EXPECT_EQ(GetFileVersionNumbers("", major, minor, release, build), "");
  EXPECT_EQ(major, ORVANE_VERSION_MAJOR);
  EXPECT_EQ(build, 0);
}

TEST(FileVersion, SystemMessagesLoseTrailingBlanksAndFullStops) {
  EXPECT_EQ(TrimSystemMessage("Access is denied.\r\n"), "Access is denied");
  EXPECT_EQ(TrimSystemMessage("v1.2 . \t"), "v1.2");
  EXPECT_EQ(TrimSystemMessage(" . "), "");
}

}  // namespace
}  // namespace orvane
