// The log file under Windows' file semantics: share modes of other handles,
// a file that is free between messages, Windows path forms.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "LogFileFixtures.h"
#include "logging/Logging.h"
#include "support/WindowsTestSupport_win.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::FileSettings;
using test::kToolHeader;
using test::MessageLines;
using test::ReadFileBytes;
using test::SplitLines;
using test::TempDir;

// A handle on the log file as another program (an editor, a tail tool)
// would hold it.
class OtherHandle {
 public:
  OtherHandle(const fs::path& file, DWORD access, DWORD share)
      : handle_(CreateFileW(file.wstring().c_str(), access, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~OtherHandle() { Release(); }
  OtherHandle(const OtherHandle&) = delete;
  OtherHandle& operator=(const OtherHandle&) = delete;

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Handle() const { return handle_; }

  void Release() {
    if (IsOpen()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

  // What the file holds from the handle's position on, as a reader
  // following the file sees it.
  std::string ReadOn() {
    std::string text;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(handle_, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
    return text;
  }

 private:
  HANDLE handle_;
};

TEST(Logging, ReadersSharingWriteAccessFollowTheFileWhileTheLoggerWrites) {
  for (const DWORD share : {DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE},
                            DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
    SCOPED_TRACE(share);
    TempDir dir;
    const fs::path file = dir / "log_debug_Tool.log";
    TLogging log(nullptr, "", FileSettings(dir.path()));
    log.Error("before");
    OtherHandle reader(file, GENERIC_READ, share);
    ASSERT_TRUE(reader.IsOpen()) << GetLastError();
    EXPECT_EQ(reader.ReadOn(), std::string(kToolHeader) + "(Fehler       ): before\r\n");
    for (const std::string text : {"two", "three"}) {
      log.Error(text);
      EXPECT_EQ(reader.ReadOn(), "(Fehler       ): " + text + "\r\n");
    }
  }
}

TEST(Logging, LinesWaitWhileAnotherHandleDeniesWriteSharingAndFollowInOrderOnce) {
  struct Case {
    const char* what;
    DWORD access, share;
  };
  const Case cases[] = {
      {"reader that locks writers out", GENERIC_READ, FILE_SHARE_READ},
      {"exclusive reader and writer", GENERIC_READ | GENERIC_WRITE, 0},
      {"writer that lets only readers in", GENERIC_WRITE, FILE_SHARE_READ},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const fs::path file = dir / "log_debug_Tool.log";
    TLogging log(nullptr, "", FileSettings(dir.path()));
    log.Error("before");
    const std::string written = ReadFileBytes(file);
    OtherHandle lock(file, c.access, c.share);
    ASSERT_TRUE(lock.IsOpen()) << GetLastError();
    log.Error("one");
    log.Error("two");
    lock.Release();
    EXPECT_EQ(ReadFileBytes(file), written);

    log.Error("three");
    log.Error("four");
    EXPECT_EQ(MessageLines(file), (std::vector<std::string>{"(Fehler       ): before", "(Fehler       ): one",
                                                            "(Fehler       ): two", "(Fehler       ): three",
                                                            "(Fehler       ): four"}));
    EXPECT_EQ(log.nTotalErrors, 5);
  }
}

// Another instance that took the append lock and stopped (suspended, hung)
// must not stop logging: after a bounded wait the line goes in without the
// lock, and every further line too.
TEST(Logging, AnAppendLockThatStaysTakenDoesNotStopTheLines) {
  TempDir dir;
  const fs::path file = dir / "log_debug_Tool.log";
  TLogging log(nullptr, "", FileSettings(dir.path()));
  log.Error("before");
  OtherHandle other(file, GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_TRUE(other.IsOpen()) << GetLastError();
  // The byte every instance locks while it appends, far beyond the end.
  OVERLAPPED at{};
  at.Offset = 0xFFFFFFFE;
  at.OffsetHigh = 0x7FFFFFFF;
  ASSERT_TRUE(LockFileEx(other.Handle(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
      << GetLastError();
  log.Error("one");
  log.Error("two");
  EXPECT_EQ(MessageLines(file), (std::vector<std::string>{"(Fehler       ): before", "(Fehler       ): one",
                                                          "(Fehler       ): two"}));
  EXPECT_TRUE(UnlockFileEx(other.Handle(), 0, 1, 0, &at)) << GetLastError();
}

// Between two messages the logger holds no handle, so the file can be
// renamed away (as rotation does) and the next message starts a new file.
TEST(Logging, TheFileIsFreeBetweenMessages) {
  TempDir dir;
  const fs::path file = dir / "log_debug_Tool.log";
  TLogging log(nullptr, "", FileSettings(dir.path()));
  log.Error("one");
  {
    OtherHandle exclusive(file, GENERIC_READ | GENERIC_WRITE | DELETE, 0);
    EXPECT_TRUE(exclusive.IsOpen()) << GetLastError();
  }
  ASSERT_TRUE(MoveFileW(file.wstring().c_str(), (dir / "old.log").wstring().c_str())) << GetLastError();
  log.Error("two");
  EXPECT_EQ(ReadFileBytes(dir / "old.log"), std::string(kToolHeader) + "(Fehler       ): one\r\n");
  EXPECT_EQ(ReadFileBytes(file), std::string(kToolHeader) + "(Fehler       ): two\r\n");
}

// A name under the log's that another user planted, a symbolic link or a
// hard link to some other file, is never written through; the lines wait and
// go into the real file once the name is free.
TEST(Logging, ALogNameThatIsALinkIsNotWrittenThrough) {
  for (const bool symbolic : {true, false}) {
    TempDir dir;
    const fs::path target = dir / "victim.txt";
    const fs::path file = dir / "log_debug_Tool.log";
    test::WriteFileBytes(target, "keep me");
    const bool planted =
        symbolic ? CreateSymbolicLinkW(file.wstring().c_str(), target.wstring().c_str(),
                                       SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != 0
                 : CreateHardLinkW(file.wstring().c_str(), target.wstring().c_str(), nullptr) != 0;
    if (!planted) {
      // Windows without developer mode lets only administrators make
      // symbolic links.
      EXPECT_TRUE(symbolic) << GetLastError();
      continue;
    }
    TLogging log(nullptr, "", FileSettings(dir.path()));
    log.Error("one");
    ASSERT_TRUE(DeleteFileW(file.wstring().c_str())) << GetLastError();
    log.Error("two");
    EXPECT_EQ(ReadFileBytes(target), "keep me") << (symbolic ? "symbolic" : "hard");
    // Wine opens a symbolic link as the file it is made of instead of as a
    // reparse point, so the first line goes into the link itself there: not
    // through it, but not refused either.
    if (symbolic && test::RunningUnderWine()) continue;
    EXPECT_EQ(MessageLines(file), (std::vector<std::string>{"(Fehler       ): one", "(Fehler       ): two"}))
        << (symbolic ? "symbolic" : "hard");
  }
}

TEST(Logging, WindowsPathFormsNameTheProgram) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\Program Files\\Orvane\\OrvaneSupport.exe", "OrvaneSupport"},
      {"C:/Program Files/Orvane/OrvaneSupport.exe", "OrvaneSupport"},
      {"C:OrvaneSupport.exe", "OrvaneSupport"},
      {"C:\\PROGRA~1\\ORVANE~1\\ORVANE~1.EXE", "ORVANE~1"},
  };
  for (const auto& [exe, name] : cases) {
    SCOPED_TRACE(exe);
    TempDir dir;
    TLogSettings s = FileSettings(dir.path(), exe);
    s.AlwaysShowDebug = true;
    s.AppendExecName = true;
    TLogging log(nullptr, "", s);
    // No such file: the start message carries the name without a version.
    log.ApplicationStartMessage();
    const fs::path file = dir / ("log_debug_" + name + ".log");
    ASSERT_TRUE(fs::exists(file)) << log.DbgLogFile();
    const auto lines = SplitLines(ReadFileBytes(file));
    ASSERT_EQ(lines.size(), 27u);
    EXPECT_EQ(lines[1].substr(0, lines[1].find_last_not_of(" *") + 1), "** " + name + " - Logfile");
    EXPECT_EQ(lines[26],
              "(" + name + ") : (Debug        ): " + name + " started... | Logging Class: 202101-1");
  }
}

}  // namespace
}  // namespace orvane
