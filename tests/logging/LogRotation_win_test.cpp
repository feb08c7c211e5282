#include <gtest/gtest.h>

#include "logging/ZipFolder.h"

namespace orvane {
namespace {

// Windows file names ignore letter case, and so do the masks, beyond ASCII
// too.
TEST(ZipFolder, MasksIgnoreLetterCase) {
  EXPECT_TRUE(MatchesFileMask("a.log", "*.log"));
  EXPECT_TRUE(MatchesFileMask("A.LOG", "*.log"));
  EXPECT_TRUE(MatchesFileMask("LOG_Debug_Tool.Log", "log_debug_tool.log"));
  EXPECT_TRUE(MatchesFileMask("\xC3\x84.log", "\xC3\xA4.LOG"));
  EXPECT_FALSE(MatchesFileMask("a.log", "b.log"));
}

}  // namespace
}  // namespace orvane
