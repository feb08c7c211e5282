#include "system/ProcessHelper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace orvane {
namespace {

std::vector<uint32_t> terminateCalls;

TEST(ProcessHelper, KillProcessRefusesIdsZeroAndOneWithoutAskingTheSystem) {
  terminateCalls.clear();
  const TTerminateProcessCall previous = SetTerminateProcessCall([](uint32_t pid) {
    terminateCalls.push_back(pid);
    return true;
  });
  EXPECT_FALSE(KillProcess(0));
  EXPECT_FALSE(KillProcess(1));
  EXPECT_TRUE(KillProcess(4242));  // any other id goes to the system call
  SetTerminateProcessCall(previous);
  EXPECT_THAT(terminateCalls, testing::ElementsAre(4242u));
}

}  // namespace
}  // namespace orvane
