#include "capture/timer_tick.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "capture/capture_fakes.h"
#include "platform/file_system_posix.h"
#include "support/fake_tick_clock.h"
#include "support/recording_panel.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

using testing::Events;

class TimerTickTest : public ::testing::Test {
 protected:
  TimerTickTest() {
    log.AttachPanel(&panel);
    settings.portNumber = 2;
  }
  long Count(const std::string& event) const { return std::count(events.begin(), events.end(), event); }
  void Start() {
    tick.startupState = 1;
    tick.HandleTick();
    events.clear();
  }

  testing::TempFolder folder;
  testing::RecordingPanel panel;
  MessageLog log;
  SharedFlags flags;
  CaptureState state;
  Settings settings;
  PosixFileSystem files{folder.path().string()};
  testing::FakeTickClock clock;
  Events events;
  testing::ScriptedSerialPort port{events};
  testing::RecordingSentences sentences{events};
  SentenceAssembler assembler{sentences};
  testing::RecordingFlushes flushes{events};
  testing::RecordingHost host{events};
  CaptureLoop capture{state, flags, settings, log, files, clock, port, assembler, flushes};
  TimerTick tick{flags, log, capture, flushes, host};
};

TEST_F(TimerTickTest, NothingBeforeTheTimerStartsAndOnlyStartUpOnTheFirstTick) {
  tick.HandleTick();
  EXPECT_TRUE(events.empty());
  tick.startupState = 1;
  flags.flushRequested = 1;
  tick.HandleTick();
  EXPECT_EQ(events, (Events{"startup"}));
  EXPECT_EQ(tick.startupState, 2);
  EXPECT_EQ(tick.timerTicks, 0u);
  EXPECT_EQ(flags.flushRequested, 1);
}

TEST_F(TimerTickTest, RequestedFlushRunsBeforeTheCaptureStep) {
  Start();
  flags.flushRequested = 1;
  tick.HandleTick();
  EXPECT_EQ(events, (Events{"idle reset", "flush writers", "open", "read"}));
  EXPECT_EQ(flags.flushRequested, 0);
}

TEST_F(TimerTickTest, IdleTimerIsResetOnTheFirstRunningTickAndEvery128th) {
  Start();
  for (int i = 0; i < 257; ++i) tick.HandleTick();
  EXPECT_EQ(Count("idle reset"), 3);  // ticks 1, 129, 257
}

TEST_F(TimerTickTest, NoDataAfterSixSilentTicksDropsAPendingWaypoint) {
  Start();
  flags.waypointRequested = 1;
  for (int i = 0; i < 5; ++i) tick.HandleTick();
  EXPECT_NE(panel.Status(), "No data \r\n");
  EXPECT_EQ(flags.waypointRequested, 1);
  tick.HandleTick();
  EXPECT_EQ(panel.Status(), "No data \r\n");
  EXPECT_EQ(flags.waypointRequested, 0);
  EXPECT_EQ(flags.idleTicks, 0);
  EXPECT_EQ(panel.Log(), "");  // dropped without a message
}

TEST_F(TimerTickTest, AnySentenceRestartsTheCount) {
  Start();
  for (int i = 0; i < 5; ++i) tick.HandleTick();
  flags.idleTicks = 0;  // what fix processing does for every sentence
  for (int i = 0; i < 5; ++i) tick.HandleTick();
  EXPECT_NE(panel.Status(), "No data \r\n");
}

TEST_F(TimerTickTest, LateTicksAfterShutDownDoNothing) {
  Start();
  tick.closing = 1;
  flags.flushRequested = 1;
  tick.HandleTick();
  EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace pathmere
