#include "app/RemoteSupportConfig.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TestSupport.h"
#include "system/OSError.h"

namespace orvane {
namespace {

using test::ScopedCwd;
using test::TempDir;

TEST(TRemoteSupportConfig, DummyConfigStopsAtAFileThatCannotBeHashed) {
  const TempDir dir;
  const ScopedCwd cwd(dir.path());
  ASSERT_EQ(::mkfifo((dir / "Remotely_Desktop-[a735]_x86.exe").c_str(), 0600), 0);

  TRemoteSupportConfig config;
  EXPECT_THROW(config.CreateDummyConfig(), EOSError);
  ASSERT_EQ(config.NumberOfLinks(), 1);
  EXPECT_EQ(config.GetElementByIndex(0).ItemName(), "teamviewer");
  EXPECT_EQ(config.DefaultItemIndex(), 0);
}

}  // namespace
}  // namespace orvane
