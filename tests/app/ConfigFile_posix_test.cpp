// The configuration file's POSIX failures, with errno codes.
#include "app/ConfigFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/TestSupport.h"
#include "system/OSError.h"

namespace orvane {
namespace {

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
