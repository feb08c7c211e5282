#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "logging/Logging.h"
#include "support/RecordingLogControl.h"
#include "support/TestSupport.h"
#include "system/SysUtils.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

TEST(DiagnosticsPosix, LastSystemErrorIsLoggedWithItsText) {
  TLogSettings settings;
  settings.MemoNumRows = 100;
  test::ScopedRecordingLogger recording(settings);
  errno = 0;
  EXPECT_EQ(Logger->GetLastSysError("Open"), 0u);
  errno = EACCES;
  EXPECT_EQ(Logger->GetLastSysError("Open"), static_cast<std::uint32_t>(EACCES));
  errno = EACCES;
  EXPECT_EQ(Logger->GetLastSysError(""), static_cast<std::uint32_t>(EACCES));
  EXPECT_EQ(recording.control->lines,
            (std::vector<std::string>{"(Fehler       ): Permission denied",
                                      "(Fehler       ): (Open) Permission denied"}));
}

// The temporary folder is shared with every user: a link planted at the
// file's name is replaced, its target never written.
TEST(DiagnosticsPosix, CompilerInfoDoesNotFollowAPlantedLink) {
  test::TempDir dir;
  test::ScopedEnv tmpdir("TMPDIR", dir.path().string());
  ReleaseFolderCaches();
  const fs::path victim = dir / "victim.txt";
  test::WriteFileBytes(victim, "keep me");
  fs::create_symlink(victim, dir / "compilerinfo.txt");

  TLogging log(nullptr, "", TLogSettings{});
  EXPECT_TRUE(log.WriteCompilerSettingsToFile());
  ReleaseFolderCaches();

  EXPECT_EQ(test::ReadFileBytes(victim), "keep me");
  ASSERT_FALSE(fs::is_symlink(dir / "compilerinfo.txt"));
  const std::string text = test::ReadFileBytes(dir / "compilerinfo.txt");
  EXPECT_EQ(text.rfind("Debug: ", 0), 0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  // Only the victim and the file itself: no temporary file left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace orvane
