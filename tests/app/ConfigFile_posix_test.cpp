// The configuration file's POSIX failures, with errno codes.
#include "app/ConfigFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/TestSupport.h"
#include "system/OSError.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFileBytes;

TEST(WriteConfigFile, UnwritablePathRaisesTheOperatingSystemError) {
  const TempDir dir;
  const std::string file = (dir / "missing" / kConfigFileName).string();
  try {
    WriteConfigFile(file, TRemoteSupportConfig());
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
    EXPECT_NE(std::string(e.what()).find(file), std::string::npos);
  }
}

// --WriteConfig never writes through a name that someone else planted: the
// file it points to stays as it was, and the error names the file.
TEST(WriteConfigFile, NameThatIsNoPlainFileIsRefused) {
  const std::vector<std::pair<const char*, void (*)(const fs::path&, const fs::path&)>> plants = {
      {"symbolic link",
       [](const fs::path& target, const fs::path& list) { fs::create_symlink(target, list); }},
      {"dangling link", [](const fs::path& target,
                           const fs::path& list) { fs::create_symlink(target.string() + ".new", list); }},
      {"hard link", [](const fs::path& target, const fs::path& list) { fs::create_hard_link(target, list); }},
      {"fifo", [](const fs::path&, const fs::path& list) { ASSERT_EQ(::mkfifo(list.c_str(), 0600), 0); }},
  };
  for (const auto& [kind, plant] : plants) {
    const TempDir dir;
    const auto target = dir / "victim.txt";
    const auto list = dir / kConfigFileName;
    WriteFileBytes(target, "keep me");
    plant(target, list);
    try {
      WriteConfigFile(list.string(), TRemoteSupportConfig());
      ADD_FAILURE() << kind << ": no error";
    } catch (const EOSError& e) {
      EXPECT_NE(std::string(e.what()).find(list.string()), std::string::npos) << kind;
    }
    EXPECT_EQ(test::ReadFileBytes(target), "keep me") << kind;
    EXPECT_FALSE(fs::exists(target.string() + ".new")) << kind;
  }
}

// Without a byte-order mark the text is in the 8-bit code page, which is
// UTF-8 here; a byte that is not valid UTF-8 becomes U+FFFD.
TEST(ReadConfigFromBytes, TextWithoutBomIsUtf8) {
  const auto config =
      ReadConfigFromBytes("{\"downloadLinks\":{\"listHelper\":[{\"itemName\":\"gr\xFCn \xC3\xBC\"}]}}");
  ASSERT_TRUE(config && config->NumberOfLinks() == 1);
  EXPECT_EQ(config->GetElementByIndex(0).ItemName(), "gr\xEF\xBF\xBDn \xC3\xBC");
}

TEST(ReadConfigFile, FileThatIsNoRegularFileRaises) {
  const TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo.json").c_str(), 0600), 0);
  EXPECT_THROW(ReadConfigFile((dir / "fifo.json").string()), EOSError);
}

TEST(ReadConfigFile, UnreadableFileRaisesTheOperatingSystemError) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const TempDir dir;
  WriteFileBytes(dir / "locked.json", "{}");
  ASSERT_EQ(::chmod((dir / "locked.json").c_str(), 0), 0);
  try {
    ReadConfigFile((dir / "locked.json").string());
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), EACCES);
  }
}

}  // namespace
}  // namespace orvane
