#include "system/DebugHook.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvane {
namespace {

std::vector<std::string> g_seen;
void Record(const std::string& text) { g_seen.push_back(text); }

TEST(SystemDebugHook, ForwardsOnlyWhileInstalled) {
  g_seen.clear();
  SystemDebugFmt("dropped %d", 1);
  SetSystemDebugHook(&Record);
  SystemDebugFmt("%s=%d", "answer", 42);
  SetSystemDebugHook(nullptr);
  SystemDebug("dropped too");
  EXPECT_EQ(g_seen, std::vector<std::string>{"answer=42"});
}

}  // namespace
}  // namespace orvane
