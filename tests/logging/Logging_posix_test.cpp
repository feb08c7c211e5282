#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "LogFileFixtures.h"
#include "logging/Logging.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::FileSettings;
using test::MessageLines;
using test::TempDir;

TEST(Logging, LinesThatDidNotReachAFullDiskAreWrittenLater) {
  TempDir dir;
  // Every write to /dev/full fails with ENOSPC.
  fs::create_symlink("/dev/full", dir / "log_debug_Tool.log");
  TLogging log(nullptr, "", FileSettings(dir.path()));
  log.Error("one");
  log.Error("two");
  fs::remove(dir / "log_debug_Tool.log");
  log.Error("three");
  EXPECT_EQ(
      MessageLines(dir / "log_debug_Tool.log"),
      (std::vector<std::string>{"(Fehler       ): one", "(Fehler       ): two", "(Fehler       ): three"}));
}

}  // namespace
}  // namespace orvane
