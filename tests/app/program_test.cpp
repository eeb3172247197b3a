#include "app/program.h"

#include <gtest/gtest.h>

#include <fstream>

#include "capture/capture_fakes.h"
#include "platform/file_system_posix.h"
#include "platform/instance_channel.h"
#include "support/counting_file_system.h"
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

// "FlushSeconds" shortens the timed flush of the track, route and NMEA log
// writers; 0 gives them back their own intervals.
TEST_F(ProgramTest, FlushSecondsShortensTheTimedFlush) {
  program.SetOutputFolder(L"");
  program.SetNmeaLog(true);
  const auto track = folder.path() / "2026-12-06.plt";
  const auto log = folder.path() / "2026-12-06.nmea";
  int second = 0;
  auto feedAt = [&](uint32_t ms) {
    clock.now = ms;
    // Ten seconds apart, so each fix is a track point.
    const double time = 36000.0 + 10 * second;
    const std::string bytes = testing::Gga(time, 1.0) + "\r\n" +
                              testing::Rmc({.timeOfDay = time, .northMetres = 100.0 * second}) + "\r\n";
    ++second;
    program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int32_t>(bytes.size()));
  };
  program.SetFlushSeconds(10);
  feedAt(2000);
  feedAt(10000);
  EXPECT_FALSE(std::filesystem::exists(track));
  feedAt(12000);  // more than 10 s after the clock's start
  ASSERT_TRUE(std::filesystem::exists(track));
  const std::string first = testing::ReadWholeFile(track);
  EXPECT_NE(testing::ReadWholeFile(log).find("$GPRMC,100010"), std::string::npos);
  feedAt(22000);
  EXPECT_EQ(testing::ReadWholeFile(track), first);
  feedAt(22001);
  EXPECT_GT(testing::ReadWholeFile(track).size(), first.size());
  EXPECT_EQ(program.settings().flushSeconds, 10);

  program.SetFlushSeconds(0);
  const std::string second10 = testing::ReadWholeFile(track);
  feedAt(33000);
  feedAt(300000);
  EXPECT_EQ(testing::ReadWholeFile(track), second10);
  EXPECT_EQ(program.route().output().flushIntervalMs(), 438000u);
}

// Live data is made durable with each flush: the file's data, and the folder
// when the flush made the file or the folder. A replay's flushes are not
// synced: its data is already on disk in the file it reads.
TEST(ProgramDurabilityTest, LiveFlushesAreSyncedReplaysAreNot) {
  testing::TempFolder folder;
  testing::CountingFileSystem files(folder.path().string());
  testing::FakeTickClock clock{1000};
  testing::Events events;
  testing::ScriptedSerialPort port{events};
  TickHost host;
  Program program(files, clock, port, host);
  program.SetOutputFolder(L"\\trips");
  program.Start();
  program.Tick();
  auto feed = [&](double start, int seconds, const char* date) {
    std::string bytes;
    for (int i = 0; i < seconds; ++i) {
      bytes += testing::Gga(start + i, 1.0) + "\r\n" +
               testing::Rmc({.timeOfDay = start + i, .northMetres = 100.0 * i, .date = date}) + "\r\n";
    }
    return bytes;
  };
  const std::string live = feed(36000.0, 5, "061226");
  program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(live.data()), static_cast<int32_t>(live.size()));
  program.RequestFlush();
  program.Tick();
  // The track and the route file, both new, in a new folder.
  EXPECT_EQ(files.counts.dataSyncs, 2);
  EXPECT_EQ(files.syncedFolders, (std::vector<std::wstring>{L"\\trips", L"", L"\\trips"}));

  const auto replayed = folder.path() / "replayed.nmea";
  std::ofstream(replayed, std::ios::binary) << feed(40000.0, 30, "071226");
  ASSERT_TRUE(program.ReplayFile(replayed.c_str()));
  for (int i = 0; i < 10 && program.IsReplaying(); ++i) program.Tick();
  ASSERT_FALSE(program.IsReplaying());
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "trips" / "2026-12-07.plt"));
  EXPECT_EQ(files.counts.dataSyncs, 2);
  EXPECT_EQ(files.counts.folderSyncs, 3);

  const std::string later = feed(36100.0, 5, "061226");
  program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(later.data()), static_cast<int32_t>(later.size()));
  EXPECT_EQ(program.ShutDown(), 0);
  EXPECT_EQ(files.counts.dataSyncs, 4);
  EXPECT_EQ(files.counts.folderSyncs, 3);
}

}  // namespace
}  // namespace pathmere
