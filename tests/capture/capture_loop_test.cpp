#include "capture/capture_loop.h"

#include <algorithm>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "capture/capture_fakes.h"
#include "platform/file_system_posix.h"
#include "support/fake_tick_clock.h"
#include "support/recording_panel.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

using testing::Events;

class CaptureLoopTest : public ::testing::Test {
 protected:
  CaptureLoopTest() { log.AttachPanel(&panel); }

  std::string WriteFile(const std::string& name, const std::string& content) {
    const auto path = folder.path() / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }

  long Count(const std::string& event) const { return std::count(events.begin(), events.end(), event); }
  long CountSentences() const {
    return std::count_if(events.begin(), events.end(),
                         [](const std::string& e) { return e.rfind("sentence ", 0) == 0; });
  }

  testing::TempFolder folder;
  testing::RecordingPanel panel;
  MessageLog log;
  SharedFlags flags;
  CaptureState state;
  Settings settings;
  PosixFileSystem files{folder.path().string()};
  testing::FakeTickClock clock{1000};
  Events events;
  testing::ScriptedSerialPort port{events};
  testing::RecordingSentences sentences{events};
  SentenceAssembler assembler{sentences};
  testing::RecordingFlushes flushes{events};
  CaptureLoop capture{state, flags, settings, log, files, clock, port, assembler, flushes};
};

TEST_F(CaptureLoopTest, ReplaysAWholeSmallFileThenFlushesAndReports) {
  settings.portNumber = 3;  // the port is not touched while replaying
  const std::string path = WriteFile("a.nmea", "$GPRMC,1\r\n$GPGGA,2\r\n$GPRMC,3");
  ASSERT_TRUE(capture.StartReplay(path.c_str()));
  EXPECT_EQ(panel.Log(), path + "\r\n");
  EXPECT_EQ(flags.flushRequested, 1);
  capture.CaptureStep();
  EXPECT_EQ(events, (Events{"flush nmea log", "sentence $GPRMC,1", "sentence $GPGGA,2", "flush writers"}));
  EXPECT_EQ(panel.Log(), path + "\r\nFile processed\r\n");
  EXPECT_FALSE(state.IsReplaying());
}

TEST_F(CaptureLoopTest, ReplayStopsAfterTheBlockThatEndsPast500Ms) {
  std::string content;
  for (int i = 0; i < 5 * 1024 / 16; ++i) content += "$GPRMC,12345*00\n";  // 16 bytes each
  const std::string path = WriteFile("b.nmea", content);
  ASSERT_TRUE(capture.StartReplay(path.c_str()));
  clock.autoAdvance = 300;  // each block takes 300 ms
  capture.CaptureStep();
  EXPECT_EQ(CountSentences(), 2 * 64);  // 300 ms is not past 500, 600 is
  capture.CaptureStep();
  EXPECT_EQ(CountSentences(), 4 * 64);
  EXPECT_EQ(panel.Log().find("File processed"), std::string::npos);
  capture.CaptureStep();
  EXPECT_EQ(CountSentences(), 5 * 64);
  EXPECT_EQ(Count("flush writers"), 1);
  EXPECT_NE(panel.Log().find("File processed\r\n"), std::string::npos);
}

TEST_F(CaptureLoopTest, ReplayReadsAtMost1000BlocksPerTick) {
  const std::string path = WriteFile("c.nmea", std::string(1000 * 1024 + 10, 'x'));
  ASSERT_TRUE(capture.StartReplay(path.c_str()));
  capture.CaptureStep();
  EXPECT_TRUE(state.IsReplaying());
  capture.CaptureStep();
  EXPECT_FALSE(state.IsReplaying());
  EXPECT_EQ(Count("flush writers"), 1);
}

TEST_F(CaptureLoopTest, UnopenableReplayFileIsReportedAndTheCurrentReplayGoesOn) {
  const std::string good = WriteFile("d.nmea", "$GPRMC,1\n");
  ASSERT_TRUE(capture.StartReplay(good.c_str()));
  const FileHandle current = state.replayFile;
  const std::string missing = (folder.path() / "missing.nmea").string();
  EXPECT_FALSE(capture.StartReplay(missing.c_str()));
  EXPECT_EQ(panel.Log(), good + "\r\n" + missing + "\r\n(1) File Open Error: 2 \r\n");
  EXPECT_EQ(state.replayFile, current);
  EXPECT_FALSE(capture.StartReplay(folder.path().c_str()));  // a directory
  EXPECT_NE(panel.Log().find("(2) File Open Error: 21 \r\n"), std::string::npos);
}

TEST_F(CaptureLoopTest, ANewReplayReplacesTheOneInProgressFromItsStart) {
  const std::string first = WriteFile("e.nmea", "$GPRMC,first\n");
  const std::string second = WriteFile("f.nmea", "$GPRMC,second\n");
  ASSERT_TRUE(capture.StartReplay(first.c_str()));
  ASSERT_TRUE(capture.StartReplay(second.c_str()));
  capture.CaptureStep();
  EXPECT_EQ(CountSentences(), 1);
  EXPECT_EQ(Count("sentence $GPRMC,second"), 1);
}

TEST_F(CaptureLoopTest, NoPortChosenDoesNothing) {
  capture.CaptureStep();
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(panel.Status(), "");
}

TEST_F(CaptureLoopTest, PortThatCannotOpenIsRetriedEveryTick) {
  settings.portNumber = 3;
  port.openResult = 4;
  capture.CaptureStep();
  capture.CaptureStep();
  EXPECT_EQ(panel.Status(),
            "COM3 opening...\r\nCOM-port open error (4)!\r\nCOM3 opening...\r\nCOM-port open error (4)!\r\n");
  EXPECT_EQ(Count("open"), 2);
  EXPECT_EQ(Count("read"), 0);
}

TEST_F(CaptureLoopTest, ReadErrorClosesThePortAndTheNextTickReopens) {
  settings.portNumber = 0;
  port.reads = {"$GPRMC,1\r\n", "<error>", "$GPRMC,2\r\n"};
  capture.CaptureStep();
  EXPECT_EQ(events, (Events{"open", "read", "sentence $GPRMC,1", "read", "close"}));
  EXPECT_EQ(state.portOpen, 0);
  EXPECT_EQ(panel.Status(), "COM0 opening...\r\nCOM-port read error!\r\n");
  events.clear();
  capture.CaptureStep();
  EXPECT_EQ(events, (Events{"open", "read", "sentence $GPRMC,2", "read"}));
  EXPECT_EQ(state.portOpen, 1);
}

TEST_F(CaptureLoopTest, AFloodingPortIsReadAtMostTenTimesPerTick) {
  settings.portNumber = 1;
  for (int i = 0; i < 25; ++i) port.reads.push_back("<flood>");
  capture.CaptureStep();
  EXPECT_EQ(Count("read"), 10);
  capture.CaptureStep();
  EXPECT_EQ(Count("open"), 1);  // stays open between ticks
  EXPECT_EQ(Count("read"), 20);
}

// A source on the network is read for as long as it has bytes queued,
// within bounds; a tick whose reads end with bytes still coming counts as
// being behind, and a tick that empties the source as caught up.
TEST_F(CaptureLoopTest, ANetworkSourceIsReadUntilItHasNothingQueued) {
  struct Row {
    const char* legend;
    int floods;             // full reads queued before the tick
    uint32_t msPerReading;  // how far the clock moves at each reading
    long reads;             // reads the tick makes
    uint32_t backlogTicks;  // after the tick
  };
  const Row rows[] = {
      {"a busy second, emptied", 300, 0, 301, 0},
      {"more than a tick may read", 600, 0, CaptureLoop::kMaxUnpacedReadsPerTick, 1},
      {"reads that take their time end at the slice", 600, 2, 251, 1},
  };
  for (const Row& row : rows) {
    events.clear();
    port.reads.clear();
    state.backlogTicks = 0;
    settings.portNumber = 1;
    port.linePaced = false;
    for (int i = 0; i < row.floods; ++i) port.reads.push_back("<flood>");
    clock.autoAdvance = row.msPerReading;
    capture.CaptureStep();
    EXPECT_EQ(Count("read"), row.reads) << row.legend;
    EXPECT_EQ(state.backlogTicks, row.backlogTicks) << row.legend;
  }
  // Still behind on the next tick, then caught up.
  clock.autoAdvance = 0;
  port.reads.assign(CaptureLoop::kMaxUnpacedReadsPerTick + 1, "<flood>");
  capture.CaptureStep();
  EXPECT_EQ(state.backlogTicks, 2u);
  capture.CaptureStep();
  EXPECT_EQ(state.backlogTicks, 0u);
}

}  // namespace
}  // namespace pathmere
