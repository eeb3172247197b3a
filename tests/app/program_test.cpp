#include "app/program.h"

#include <gtest/gtest.h>

#include "capture/capture_fakes.h"
#include "platform/file_system_posix.h"
#include "platform/instance_channel.h"
#include "support/fake_tick_clock.h"
#include "support/nmea_builder.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

class ProgramTest : public ::testing::Test {
 protected:
  testing::TempFolder folder;
  PosixFileSystem files{folder.path().string()};
  testing::FakeTickClock clock{1000};
  testing::Events events;
  testing::ScriptedSerialPort port{events};
  TickHost host;
  Program program{files, clock, port, host};
};

TEST_F(ProgramTest, ChoosingPortOrSpeedAlwaysClosesThePort) {
  program.SelectPort(4);
  EXPECT_EQ(program.settings().portNumber, 4);
  program.SelectSpeed(9600);
  EXPECT_EQ(program.settings().portSpeed, 9600);
  program.SelectSpeed(9600);
  program.SelectPort(-1);
  EXPECT_EQ(program.settings().portNumber, -1);
  EXPECT_EQ(events, (testing::Events{"close", "close", "close", "close"}));
}

TEST_F(ProgramTest, ForwardedCodesRequestWaypointAndFlushOrAskForTheWindow) {
  struct Row {
    const char* legend;
    int32_t code;
    bool waypointAndFlush;
    ForwardedAction action;
  };
  const Row rows[] = {
      {"/wpth", kForwardWaypoint, true, ForwardedAction::kNothing},
      {"/wpts", kForwardWaypointAndShow, true, ForwardedAction::kShowWindow},
      {"no switch", kForwardShow, false, ForwardedAction::kShowWindow},
      {"a code no start sends", 103, false, ForwardedAction::kNothing},
  };
  for (const Row& row : rows) {
    TickHost freshHost;
    Program fresh(files, clock, port, freshHost);
    EXPECT_EQ(fresh.ApplyForwardedCode(row.code), row.action) << row.legend;
    EXPECT_EQ(fresh.flags().waypointRequested, row.waypointAndFlush ? 1 : 0) << row.legend;
    EXPECT_EQ(fresh.flags().flushRequested, row.waypointAndFlush ? 1 : 0) << row.legend;
  }
}

TEST_F(ProgramTest, SwitchingTheNmeaLogOffWritesWhatItHolds) {
  program.SetOutputFolder(L"");
  program.SetNmeaLog(true);
  std::string bytes;
  for (int i = 0; i < 3; ++i) bytes += testing::Rmc({.timeOfDay = 36000.0 + i}) + "\r\n";
  program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int32_t>(bytes.size()));
  const auto log = folder.path() / "2026-12-06.nmea";
  ASSERT_FALSE(std::filesystem::exists(log)) << "still pending";
  program.SetNmeaLog(false);
  EXPECT_EQ(program.settings().enableNmeaLog, 0);
  EXPECT_EQ(testing::ReadWholeFile(log), bytes);
}

}  // namespace
}  // namespace pathmere
