#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ManualLogTimer.h"
#include "logging/LogDiagnostics.h"
#include "logging/Logging.h"
#include "support/RecordingLogControl.h"

namespace orvane {
namespace {

using Lines = std::vector<std::string>;

class TTestFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A logger whose lines land in a recording text control, with a hand-set
// stopwatch clock and hand-ticked timers.
class Diagnostics : public ::testing::Test {
 protected:
  Diagnostics() : log_(control_, "", Settings()) {}

  TLogSettings Settings() {
    TLogSettings settings;
    settings.LoggingEnabled = true;
    settings.AlwaysShowDebug = true;
    settings.MemoNumRows = 1000;
    settings.TickClock = [this] { return now_; };
    settings.TimerFactory = timers_.Factory();
    return settings;
  }

  // Whole lines, oldest first; the control shows the newest first.
  Lines AllLines() { return Lines(control_->lines.rbegin(), control_->lines.rend()); }
  // The lines' texts without their level tags; each call returns only the
  // lines logged since the last one.
  Lines Taken() {
    Lines texts;
    for (const auto& line : AllLines()) texts.push_back(line.substr(17));
    control_->lines.clear();
    return texts;
  }
  test::TManualLogTimer& Timer() { return *timers_.Timers().at(0); }

  std::uint32_t now_ = 0;
  test::TManualLogTimerFactory timers_;
  std::shared_ptr<test::RecordingLogControl> control_ = std::make_shared<test::RecordingLogControl>();
  TLogging log_;
};

TEST_F(Diagnostics, StopwatchesMeasureAcrossTheClockWrapping) {
  struct Case {
    std::uint32_t start, stop;
    std::string seconds, milliseconds;
  };
  for (const Case& c :
       {Case{0, 1234, "1.2", "1234"}, Case{5000, 5000, "0.0", "0"}, Case{0xFFFFFF00u, 0x100, "0.5", "512"},
        Case{0x80000000u, 0x7FFFFFFFu, "4294967.3", "4294967295"}}) {
    now_ = c.start;
    log_.TimerStart(2);
    now_ = c.stop;
    EXPECT_EQ(log_.TimerStop(2, true), c.seconds) << c.start;
    EXPECT_EQ(log_.TimerStop(2, false), c.milliseconds) << c.start;
  }
  // Stopping leaves the start alone; numbers other than 1 to 3 measure 0.
  now_ = 0;
  log_.TimerStart(1);
  log_.TimerStart(4);
  now_ = 700;
  log_.TimerStop(1, false);
  now_ = 1500;
  EXPECT_EQ(log_.TimerStop(1, false), "1500");
  EXPECT_EQ(log_.TimerStop(4, false), "0");
  EXPECT_EQ(log_.TimerStop(0, true), "0.0");

  log_.TimerStopAndLog(1, "Load", true, TOrvaneSyslogLvl::slWarning);
  log_.TimerStopAndLog(1, "Load", false, TOrvaneSyslogLvl::slDebug);
  EXPECT_EQ(AllLines(), (Lines{"(Warnung      ): Event: Load | dt: 1.5 s",
                               "(Debug        ): Event: Load | dt: 1500 ms"}));
}

TEST_F(Diagnostics, CountersIgnoreLetterCase) {
  log_.DebugCounterOutput("Paint");
  log_.DebugCounterOutput("paint");
  log_.DebugCounterOutput("Other");
  log_.DebugCounterOutput("PAINT");
  log_.DebugCounterReset("pAINT");
  log_.DebugCounterReset("never used");
  log_.DebugCounterOutput("Paint");
  log_.DebugCounterOutput("Other");
  EXPECT_EQ(Taken(), (Lines{"Key: Paint (1)", "Key: paint (2)", "Key: Other (1)", "Key: PAINT (3)",
                            "Key: Paint (1)", "Key: Other (2)"}));
}

TEST_F(Diagnostics, WholeListsAndTheirNewEntries) {
  Lines list = {"a", "b", "c"};
  log_.DebugSL("Names", list);
  EXPECT_EQ(Taken(), (Lines{">>> Output Stringlist: Names (3)", "a", "b", "c", "<<< Done"}));

  log_.DebugSLDiff("Names", "", list, false);
  EXPECT_EQ(Taken(), (Lines{">>> Output New Stringlist: Names (3 Elements)", "Names [0]: a", "Names [1]: b",
                            "Names [2]: c"}));
  list.insert(list.end(), {"d", "e"});
  log_.DebugSLDiff("NAMES", "two more", list, false);
  EXPECT_EQ(Taken(), (Lines{">>> Output Diff for Stringlist: NAMES (starting from Element 3)",
                            "(NAMES) two more", "NAMES [3]: d", "NAMES [4]: e"}));
  log_.DebugSLDiff("Names", "", list, false);
  EXPECT_EQ(Taken(), Lines{});
  log_.DebugSLDiff("Names", "", list, true);
  EXPECT_EQ(Taken(), (Lines{"Names [0]: a", "Names [1]: b", "Names [2]: c", "Names [3]: d", "Names [4]: e"}));
}

// Each new entry of a watched list is written once, on the next tick, also
// while DebugSLDiff keeps counts of its own under the same name.
TEST_F(Diagnostics, WatchedListsWriteEachNewEntryOnce) {
  auto jobs = std::make_shared<std::vector<std::string>>(Lines{"old=1"});
  log_.MonitorListAdd("Jobs", jobs);
  log_.DebugSLDiff("Jobs", "", {"x", "y"}, false);
  Taken();
  ASSERT_EQ(timers_.Timers().size(), 1u);
  EXPECT_EQ(Timer().Interval(), 1000);
  EXPECT_TRUE(Timer().IsRunning());

  jobs->insert(jobs->end(), {"id=7=a", "no value"});
  Timer().Tick();
  EXPECT_EQ(Taken(), (Lines{"SL(Jobs) (1) 7=a", "SL(Jobs) (2) "}));
  Timer().Tick();
  EXPECT_EQ(Taken(), Lines{});

  log_.MonitorListRemove("JOBS");
  jobs->push_back("k=v");
  Timer().Tick();
  EXPECT_EQ(Taken(), Lines{});
  // Nothing left to watch: the timer stops.
  EXPECT_FALSE(Timer().IsRunning());
}

TEST_F(Diagnostics, AWatchedListItsOwnerDestroyedIsDropped) {
  auto gone = std::make_shared<std::vector<std::string>>();
  auto kept = std::make_shared<std::vector<std::string>>();
  log_.MonitorListAdd("Gone", gone);
  log_.MonitorListAdd("Kept", kept);
  gone->push_back("a=1");
  gone.reset();
  kept->push_back("b=2");
  Timer().Tick();
  EXPECT_EQ(Taken(), Lines{"SL(Kept) (0) 2"});
  kept.reset();
  Timer().Tick();
  Timer().Tick();
  EXPECT_FALSE(Timer().IsRunning());
}

TEST_F(Diagnostics, ExceptionReports) {
  struct Case {
    std::string where;
    std::string expected;
  };
  const TTestFailure failure("disk gone");
  for (const Case& c :
       {Case{"", "(Fehler       ): orvane::(anonymous namespace)::TTestFailure: disk gone"},
        Case{"Save", "(Fehler       ): Save: orvane::(anonymous namespace)::TTestFailure: disk gone"}}) {
    log_.LogException(failure, c.where, false);
    EXPECT_EQ(AllLines(), Lines{c.expected});
    control_->lines.clear();
  }
  log_.LogException(std::out_of_range("index 9"), "", false);
  EXPECT_EQ(Taken(), Lines{"std::out_of_range: index 9"});

  // With capture on, the stack follows as Debug lines.
  SetCallstackCapture(true);
  log_.HandleAppException(nullptr, failure);
  SetCallstackCapture(false);
  const Lines lines = AllLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_TRUE(std::all_of(lines.begin() + 1, lines.end(),
                          [](const std::string& line) { return line.rfind("(Debug        ): ", 0) == 0; }));
}

TEST_F(Diagnostics, TheExceptionBoxGetsClassMessageAndStack) {
  std::vector<std::string> shown;
  SetExceptionBoxHook([&](const std::string& text) { shown.push_back(text); });
  EXPECT_EQ(log_.ShowException(std::runtime_error("boom")), 0);
  SetCallstackCapture(true);
  log_.ShowException(std::runtime_error("boom"), "m", "o", this);
  SetCallstackCapture(false);
  SetExceptionBoxHook({});
  ASSERT_EQ(shown.size(), 2u);
  // Without capture the stack part stays empty.
  EXPECT_EQ(shown[0],
            "Exception Class: std::runtime_error\r\nMessage: boom\r\nProcedure: \r\n\r\nCallStack: \r\n");
  const std::string head = "Exception Class: std::runtime_error\r\nMessage: boom\r\nProcedure: ";
  EXPECT_EQ(shown[1].substr(0, head.size()), head);
  EXPECT_GT(shown[1].size(), shown[0].size() + 4);
}

}  // namespace
}  // namespace orvane
