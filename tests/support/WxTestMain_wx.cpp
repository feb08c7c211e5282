// main() for the real-window test programs: brings up wxWidgets (GTK under
// Xvfb in CI) without entering its main loop, then runs the tests. Tests that
// show modal windows end them themselves (timers or dialog hooks).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>

// GTK, D-Bus and fontconfig keep allocations for the life of the process, so
// the window-test programs run without leak reports, under ctest or by hand.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {
class TestApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};
}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  // Listing the tests (CTest's discovery) needs no display.
  if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  wxApp::SetInstance(new TestApp);
  if (!wxEntryStart(argc, argv)) return 2;
  if (!wxTheApp->CallOnInit()) return 2;
  int rc = 0;
  {
    // The tests pump events with Yield outside any running loop; on Windows
    // Yield dispatches nothing (timers included) unless a loop is active.
    wxEventLoopGuarantor activeLoop;
    rc = RUN_ALL_TESTS();
  }
  wxTheApp->OnExit();
  wxEntryCleanup();
  return rc;
}
