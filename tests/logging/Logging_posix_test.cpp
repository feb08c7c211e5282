#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "LogFileFixtures.h"
#include "ScopedFileSizeLimit_posix.h"
#include "logging/Logging.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::FileSettings;
using test::kToolHeader;
using test::MessageLines;
using test::ReadFileBytes;
using test::ScopedFileSizeLimit;
using test::TempDir;

// A name under the log's that is no plain file of its own (a link planted
// by someone else, a FIFO) is never written through; the lines wait and go
// into the real file once the name is free.
TEST(Logging, ALogNameThatIsNoPlainFileIsNotWrittenThrough) {
  const std::vector<std::pair<const char*, void (*)(const fs::path&, const fs::path&)>> plants = {
      {"symbolic link", [](const fs::path& target, const fs::path& log) { fs::create_symlink(target, log); }},
      {"dangling link", [](const fs::path& target,
                           const fs::path& log) { fs::create_symlink(target.string() + ".new", log); }},
      {"hard link", [](const fs::path& target, const fs::path& log) { fs::create_hard_link(target, log); }},
      {"fifo", [](const fs::path&, const fs::path& log) { ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0); }},
  };
  for (const auto& [kind, plant] : plants) {
    TempDir dir;
    const auto target = dir / "victim.txt";
    const auto file = dir / "log_debug_Tool.log";
    test::WriteFileBytes(target, "keep me\n");
    plant(target, file);
    TLogging log(nullptr, "", FileSettings(dir.path()));
    log.Error("one");
    log.Error("two");
    fs::remove(file);
    log.Error("three");
    EXPECT_EQ(ReadFileBytes(target), "keep me\n") << kind;
    EXPECT_FALSE(fs::exists(target.string() + ".new")) << kind;
    EXPECT_EQ(MessageLines(file), (std::vector<std::string>{"(Fehler       ): one", "(Fehler       ): two",
                                                            "(Fehler       ): three"}))
        << kind;
  }
}

// A write that stops part-way leaves the file on a whole line; what did not
// go in waits and follows in order, once.
TEST(Logging, AWriteCutShortByTheSizeLimitLeavesNoFragment) {
  TempDir dir;
  const auto file = dir / "log_debug_Tool.log";
  TLogging log(nullptr, "", FileSettings(dir.path()));
  log.Error("first");
  const std::string afterFirst = ReadFileBytes(file);
  const std::string second = "(Fehler       ): second, a longer line\r\n";

  std::string nothingFits, oneFits;
  {
    ScopedFileSizeLimit limit(afterFirst.size() + 10);
    log.Error("second, a longer line");
  }
  nothingFits = ReadFileBytes(file);
  {
    // Room for the waiting line and a part of the next one.
    ScopedFileSizeLimit limit(afterFirst.size() + second.size() + 10);
    log.Error("third, also cut short");
  }
  oneFits = ReadFileBytes(file);
  log.Error("fourth");

  EXPECT_EQ(nothingFits, afterFirst);
  EXPECT_EQ(oneFits, afterFirst + second);
  EXPECT_EQ(MessageLines(file),
            (std::vector<std::string>{"(Fehler       ): first", "(Fehler       ): second, a longer line",
                                      "(Fehler       ): third, also cut short", "(Fehler       ): fourth"}));
}

// A header cut short is not left behind: the file would never get a whole
// one, since only a newly created file gets a header.
TEST(Logging, AHeaderCutShortIsRemovedAndWrittenWholeLater) {
  TempDir dir;
  const auto file = dir / "log_debug_Tool.log";
  TLogging log(nullptr, "", FileSettings(dir.path()));
  {
    ScopedFileSizeLimit limit(200);
    log.Error("one");
  }
  const bool leftBehind = fs::exists(file);
  log.Error("two");

  EXPECT_FALSE(leftBehind);
  EXPECT_EQ(ReadFileBytes(file),
            std::string(kToolHeader) + "(Fehler       ): one\r\n(Fehler       ): two\r\n");
}

}  // namespace
}  // namespace orvane
