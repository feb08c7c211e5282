#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/Logging.h"
#include "support/RecordingLogControl.h"

namespace orvane {
namespace {

TEST(DiagnosticsWin, LastSystemErrorIsLoggedWithItsText) {
  TLogSettings settings;
  settings.MemoNumRows = 100;
  test::ScopedRecordingLogger recording(settings);
  SetLastError(0);
  EXPECT_EQ(Logger->GetLastSysError("Open"), 0u);
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(Logger->GetLastSysError("Open"), 5u);
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(Logger->GetLastSysError(""), 5u);
  // The system's English text (the test machine's language).
  EXPECT_EQ(recording.control->lines, (std::vector<std::string>{"(Fehler       ): Access denied",
                                                                "(Fehler       ): (Open) Access denied"}));
}

}  // namespace
}  // namespace orvane
