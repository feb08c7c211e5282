#include "app/RemoteSupportConfig.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "system/OSError.h"
#include "system/OSFunctions_win.h"

namespace orvane {
namespace {

using test::ScopedCwd;
using test::TempDir;

// A file still being written (another handle has it open for writing) is
// not hashed: the sharing violation ends the list there.
TEST(TRemoteSupportConfig, DummyConfigStopsAtAFileBeingWritten) {
  const TempDir dir;
  const ScopedCwd cwd(dir.path());
  const std::string file = (dir / "Remotely_Desktop-[a735]_x86.exe").string();
  test::WriteFileBytes(file, "MZ");
  const HANDLE writer =
      CreateFileW(Utf8ToWide(file).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);

  TRemoteSupportConfig config;
  try {
    config.CreateDummyConfig();
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), ERROR_SHARING_VIOLATION);
  }
  CloseHandle(writer);
  ASSERT_EQ(config.NumberOfLinks(), 1);
  EXPECT_EQ(config.GetElementByIndex(0).ItemName(), "teamviewer");
  EXPECT_EQ(config.DefaultItemIndex(), 0);
}

}  // namespace
}  // namespace orvane
