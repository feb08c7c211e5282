#include "system/SysUtils.h"

#include <gtest/gtest.h>

#include <set>

#include "support/TestSupport.h"
#include "system/CopyFilesFixture.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::CopyFilesTest;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// The path with each "/" turned into the platform separator.
std::string Native(std::string path) {
  for (char& c : path)
    if (c == '/') c = PathDelim;
  return path;
}

TEST(UniqueFileName, Shapes) {
  TempDir dir;
  const std::string folder = dir.path().string();
  const struct {
    std::string folder, extension, suffix;
  } cases[] = {
      {folder, "html", ".html"},
      {folder + PathDelim, ".html", ".html"},
      {folder, "", ""},
  };
  for (const auto& c : cases) {
    const std::string name = GetUniqueFileName(c.folder, "help", c.extension);
    const std::string head = folder + PathDelim + "help";
    ASSERT_EQ(name.size(), head.size() + 5 + c.suffix.size()) << name;
    EXPECT_EQ(name.substr(0, head.size()), head);
    EXPECT_EQ(name.find_first_not_of("0123456789", head.size()),
              c.suffix.empty() ? std::string::npos : head.size() + 5);
    EXPECT_EQ(name.substr(head.size() + 5), c.suffix);
    EXPECT_FALSE(fs::exists(name));
  }
}

TEST(ForceDirectoryWait, CreatesOneLevelAndCountsPauses) {
  TempDir dir;
  fs::create_directory(dir / "existing");
  const struct {
    fs::path folder;
    int retries;
    int pauses;
    bool exists;
  } cases[] = {
      {dir / "existing", 0, 1, true}, {dir / "existing", 10, 1, true}, {dir / "new", 10, 1, true},
      {dir / "a" / "b", 3, 4, false}, {dir / "c" / "d", -1, 0, false},
  };
  for (const auto& c : cases) {
    int pauses = 0;
    ForceDirectoryWait(c.folder.string(), c.retries, [&](std::chrono::milliseconds d) {
      EXPECT_EQ(d.count(), 100);
      ++pauses;
    });
    EXPECT_EQ(pauses, c.pauses) << c.folder;
    EXPECT_EQ(fs::is_directory(c.folder), c.exists) << c.folder;
  }
}

TEST(CopyFiles, NumberedCopyNames) {
  EXPECT_EQ(NumberedCopyName(Native("/d/tool.exe"), 2), Native("/d/tool (2).exe"));
  EXPECT_EQ(NumberedCopyName(Native("/d/a.tar.gz"), 3), Native("/d/a.tar (3).gz"));
  EXPECT_EQ(NumberedCopyName(Native("/d/.profile"), 2), Native("/d/.profile (2)"));
  EXPECT_EQ(NumberedCopyName(Native("/d.x/name"), 2), Native("/d.x/name (2)"));
  EXPECT_EQ(NumberedCopyName("name", 10), "name (10)");
}

TEST_F(CopyFilesTest, CopiesIntoNewFolderKeepingTheExecutableBit) {
  const fs::path target = dir_ / "conf" / "RemoteSupport" / "tool.exe";
  ASSERT_TRUE(CopyFiles(source_.string(), target.string(), false));
  EXPECT_EQ(ReadFileBytes(target), "new program");
  EXPECT_NE(fs::status(target).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(CopyFilesTest, ReplacesOrRenamesAnExistingTarget) {
  const fs::path target = dir_ / "dest" / "tool.exe";
  WriteFileBytes(target, "old program");
  ASSERT_TRUE(CopyFiles(source_.string(), target.string(), false));
  EXPECT_EQ(ReadFileBytes(target), "new program");

  WriteFileBytes(target, "old program");
  ASSERT_TRUE(CopyFiles(source_.string(), target.string(), true));
  ASSERT_TRUE(CopyFiles(source_.string(), (dir_ / "dest").string(), true));  // a folder as destination
  EXPECT_EQ(ReadFileBytes(target), "old program");
  EXPECT_EQ(ReadFileBytes(dir_ / "dest" / "tool (2).exe"), "new program");
  EXPECT_EQ(ReadFileBytes(dir_ / "dest" / "tool (3).exe"), "new program");
  EXPECT_EQ(DestNames(), (std::set<std::string>{"tool.exe", "tool (2).exe", "tool (3).exe"}));
}

// Copies are numbered up to "(9999)": the last number is used, and with it
// taken too the copy fails and leaves nothing behind.
TEST_F(CopyFilesTest, TheLastCopyNumberIsUsedBeforeGivingUp) {
  const fs::path target = dir_ / "dest" / "tool.exe";
  WriteFileBytes(target, "old program");
  for (int n = 2; n <= 9998; ++n) WriteFileBytes(NumberedCopyName(target.string(), n), "");
  ASSERT_TRUE(CopyFiles(source_.string(), target.string(), true));
  EXPECT_EQ(ReadFileBytes(dir_ / "dest" / "tool (9999).exe"), "new program");
  EXPECT_FALSE(CopyFiles(source_.string(), target.string(), true));
  EXPECT_EQ(DestNames().size(), 9999u);
}

TEST_F(CopyFilesTest, Failures) {
  EXPECT_FALSE(CopyFiles((dir_ / "missing.exe").string(), (dir_ / "dest" / "x.exe").string(), false));
  EXPECT_FALSE(CopyFiles(source_.string(), "", false));
  // Copying a file onto itself must not destroy it.
  EXPECT_FALSE(CopyFiles(source_.string(), source_.string(), false));
  EXPECT_EQ(ReadFileBytes(source_), "new program");
  EXPECT_EQ(DestNames(), std::set<std::string>{});
}

TEST_F(CopyFilesTest, SameFileWithRenameMakesANumberedCopy) {
  ASSERT_TRUE(CopyFiles(source_.string(), source_.string(), true));
  EXPECT_EQ(ReadFileBytes(dir_ / "tool (2).exe"), "new program");
}

TEST_F(CopyFilesTest, Folders) {
  fs::create_directories(dir_ / "pack" / "sub");
  WriteFileBytes(dir_ / "pack" / "sub" / "f.txt", "f");
  ASSERT_TRUE(CopyFiles((dir_ / "pack").string(), (dir_ / "dest").string(), true));
  ASSERT_TRUE(CopyFiles((dir_ / "pack").string(), (dir_ / "dest").string(), true));
  EXPECT_EQ(ReadFileBytes(dir_ / "dest" / "pack" / "sub" / "f.txt"), "f");
  EXPECT_EQ(ReadFileBytes(dir_ / "dest" / "pack (2)" / "sub" / "f.txt"), "f");
  // A folder copied into itself.
  EXPECT_FALSE(CopyFiles((dir_ / "pack").string(), (dir_ / "pack" / "sub").string(), false));
  EXPECT_FALSE(fs::exists(dir_ / "pack" / "sub" / "pack"));
}

}  // namespace
}  // namespace orvane
