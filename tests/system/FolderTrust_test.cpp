#include "system/FolderTrust.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane {
namespace {

TEST(NetworkPath, SharesAndNameSpacesAreNetworkPathsDriveLettersAndPlainPathsAreNot) {
  const struct {
    const char* path;
    bool network;
  } cases[] = {
      {R"(\\host\share\log.log)", true},
      {"//host/share/log.log", true},
      {R"(\/host\share)", true},
      {R"(/\host/share)", true},
      {R"(\\?\UNC\host\share\log.log)", true},
      {"//?/UNC/host/share/log.log", true},
      {R"(\??\UNC\host\share\log.log)", true},
      {R"(\\.\pipe\listener)", true},
      {R"(\\?\GLOBALROOT\Device\Mup\host\share\x)", true},
      {R"(\\)", true},
      {R"(\\?\C:\logs\log.log)", false},
      {R"(\\.\d:\log.log)", false},
      {R"(\??\C:\logs\log.log)", false},
      {R"(C:\logs\log.log)", false},
      {R"(\logs\log.log)", false},
      {"/var/log/orvane.log", false},
      {"log_debug.log", false},
      {R"(..\logs\log.log)", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsNetworkPath(c.path), c.network) << c.path;
}

}  // namespace
}  // namespace orvane
