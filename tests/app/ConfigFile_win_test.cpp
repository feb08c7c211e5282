// The configuration file on Windows: Win32 error codes, share modes, and
// text without a byte-order mark in the system's ANSI code page.
#include "app/ConfigFile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"
#include "support/WindowsTestSupport_win.h"
#include "system/OSError.h"
#include "system/OSFunctions_win.h"

namespace orvane {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// Another program's handle on the file, closed when the object goes.
class TOtherHandle {
 public:
  TOtherHandle(const std::string& file, DWORD access, DWORD share)
      : handle_(CreateFileW(Utf8ToWide(file).c_str(), access, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~TOtherHandle() {
    if (valid()) CloseHandle(handle_);
  }
  TOtherHandle(const TOtherHandle&) = delete;
  TOtherHandle& operator=(const TOtherHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

int ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EOSError& e) {
    return e.ErrorCode();
  }
  return 0;
}

TEST(ConfigFileWin, FailuresRaiseTheWin32Error) {
  const TempDir dir;
  const std::string file = (dir / kConfigFileName).string();
  WriteFileBytes(file, "{}");
  {
    // An editor still writing the file (sharing reads and writes): reading
    // it now could give half a file.
    const TOtherHandle writer(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(writer.valid());
    EXPECT_EQ(ErrorOf([&] { ReadConfigFile(file); }), ERROR_SHARING_VIOLATION);
  }
  {
    // A reader that lets nobody write: the file is neither replaced nor cut.
    const TOtherHandle reader(file, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(reader.valid());
    EXPECT_EQ(ErrorOf([&] { WriteConfigFile(file, TRemoteSupportConfig()); }), ERROR_SHARING_VIOLATION);
  }
  EXPECT_EQ(ReadFileBytes(file), "{}");

  const std::string unreachable = (dir / "missing" / kConfigFileName).string();
  try {
    WriteConfigFile(unreachable, TRemoteSupportConfig());
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), ERROR_PATH_NOT_FOUND);
    EXPECT_NE(std::string(e.what()).find(unreachable), std::string::npos) << e.what();
  }
  // Reading from a missing folder is a missing file: an empty configuration.
  const auto config = ReadConfigFile(unreachable);
  ASSERT_TRUE(config.has_value());
  EXPECT_EQ(config->NumberOfLinks(), 0);
}

// An administrator may hide the list beside the program. --WriteConfig
// rewrites it in place (a file opened for replacement with CREATE_ALWAYS
// would be refused with access denied for lacking the same attributes), and
// it stays hidden.
TEST(ConfigFileWin, HiddenSystemListIsRewrittenAndStaysHidden) {
  const TempDir dir;
  const std::string file = (dir / kConfigFileName).string();
  WriteFileBytes(file, "old list, longer than the new one will be, so that its end must be cut");
  constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(SetFileAttributesW(Utf8ToWide(file).c_str(), kHidden));
  WriteConfigFile(file, TRemoteSupportConfig());
  const auto config = ReadConfigFile(file);
  ASSERT_TRUE(config.has_value());
  EXPECT_EQ(config->NumberOfLinks(), 0);
  EXPECT_EQ(ReadFileBytes(file).find("old list"), std::string::npos);
  EXPECT_EQ(GetFileAttributesW(Utf8ToWide(file).c_str()) & kHidden, kHidden);
}

// --WriteConfig never writes through a link that someone else planted under
// the list's name: the file it points to stays as it was.
TEST(ConfigFileWin, NameThatIsALinkIsRefused) {
  for (const bool symbolic : {true, false}) {
    const TempDir dir;
    const std::wstring target = (dir / "victim.txt").wstring();
    const std::wstring list = (dir / kConfigFileName).wstring();
    WriteFileBytes(dir / "victim.txt", "keep me");
    const bool planted = symbolic ? CreateSymbolicLinkW(list.c_str(), target.c_str(),
                                                        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != 0
                                  : CreateHardLinkW(list.c_str(), target.c_str(), nullptr) != 0;
    if (!planted) {
      // Windows without developer mode lets only administrators make
      // symbolic links.
      EXPECT_TRUE(symbolic) << GetLastError();
      continue;
    }
    const int error =
        ErrorOf([&] { WriteConfigFile((dir / kConfigFileName).string(), TRemoteSupportConfig()); });
    EXPECT_EQ(ReadFileBytes(dir / "victim.txt"), "keep me") << (symbolic ? "symbolic" : "hard");
    // Wine opens a symbolic link as the file it is made of instead of as a
    // reparse point, so there the list goes into the link itself: not
    // through it, but not refused either.
    if (symbolic && test::RunningUnderWine()) continue;
    EXPECT_NE(error, 0) << (symbolic ? "symbolic" : "hard");
  }
}

// Without a byte-order mark the text is in the ANSI code page, as Notepad
// saved it for years.
TEST(ReadConfigFromBytes, TextWithoutBomIsAnsi) {
  if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
  const auto config =
      ReadConfigFromBytes("{\"downloadLinks\":{\"listHelper\":[{\"itemName\":\"gr\xFCn \x80\"}]}}");
  ASSERT_TRUE(config && config->NumberOfLinks() == 1);
  EXPECT_EQ(config->GetElementByIndex(0).ItemName(), "gr\xC3\xBCn \xE2\x82\xAC");
}

}  // namespace
}  // namespace orvane
