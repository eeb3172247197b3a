// The file operations of a recorded day fail in turn, one at a time: each
// with a full disk, a read-only one and a broken one, once and for a minute,
// and a power cut at each. What the program took must be in its day's files
// once the disk works again, exactly as a run on a working disk leaves them.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "app/program.h"
#include "capture/capture_fakes.h"
#include "support/fake_tick_clock.h"
#include "support/faulty_file_system.h"
#include "support/gpx_checks.h"
#include "support/nmea_builder.h"
#include "support/recording_panel.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;
using testing::FaultyFileSystem;

// 23:56:40 to 00:03:20 UTC at 60 km/h: about 200 track points over local
// midnight, a waypoint each side of it, flushed every 20 s, and a restart
// after 00:00:40 that continues the route. scripts/fault-walk.sh drives a
// longer day (PATHMERE_FAULT_WALK_SECONDS).
int DaySeconds() {
  const char* seconds = std::getenv("PATHMERE_FAULT_WALK_SECONDS");
  return seconds != nullptr && std::atoi(seconds) > 400 ? std::atoi(seconds) : 400;
}
const int kSeconds = DaySeconds();
constexpr int kRestartAt = 240;
constexpr double kStart = 86400.0 - 200.0;

std::string SecondOfDriving(int i) {
  double time = kStart + i;
  const bool nextDay = time >= 86400.0;
  if (nextDay) time -= 86400.0;
  // A turn every minute gives the route points of its own.
  const double north = i * 60.0 / 3.6;
  return testing::Gga(time, 1.0) + "\r\n" +
         testing::Rmc({.timeOfDay = time,
                       .northMetres = north,
                       .speedKmh = 60.0,
                       .course = (i / 60) % 2 == 0 ? 0.0 : 90.0,
                       .date = nextDay ? "071226" : "061226"}) +
         "\r\n";
}

struct DayRun {
  std::string log;    // the message log
  bool lost = false;  // a shut-down that could not write everything
};

// The day through the real program, in two runs. `beforeTick` may change the
// disk before each second.
template <typename BeforeTick>
DayRun DriveTheDay(FaultyFileSystem& files, BeforeTick&& beforeTick) {
  testing::FakeTickClock clock{1000};
  testing::Events events;
  testing::ScriptedSerialPort port{events};
  testing::RecordingPanel panel;
  DayRun run;
  for (const auto& [from, to] : {std::pair{0, kRestartAt}, std::pair{kRestartAt, kSeconds}}) {
    TickHost host;
    Program program(files, clock, port, host);
    program.AttachPanel(&panel);
    program.SetOutputFolder(L"\\day");
    program.SetNmeaLog(true);
    program.SetFlushSeconds(20);
    program.Start();
    program.Tick();
    for (int i = from; i < to; ++i) {
      beforeTick(i);
      if (i == 100 || i == 300) program.RequestWaypoint();
      const std::string bytes = SecondOfDriving(i);
      program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                                static_cast<int32_t>(bytes.size()));
      clock.now += 1000;
      program.Tick();
    }
    // The disk works again before each stop, so nothing may be missing.
    files.Recover();
    for (int i = 0; i < 3; ++i) {
      clock.now += 1000;
      program.Tick();
    }
    run.lost |= program.ShutDown() != 0;
  }
  run.log = panel.Log();
  return run;
}

Files ReadFolder(const fs::path& folder) {
  Files files;
  if (!fs::exists(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path().filename().string()] = testing::ReadWholeFile(entry.path());
  }
  return files;
}

std::string FirstDifference(const Files& expected, const Files& got) {
  for (const auto& [name, content] : expected) {
    const auto it = got.find(name);
    if (it == got.end()) return name + " missing";
    if (it->second == content) continue;
    size_t at = 0;
    while (at < content.size() && at < it->second.size() && content[at] == it->second[at]) ++at;
    return name + " differs at byte " + std::to_string(at) + ": expected \"" + content.substr(at, 60) +
           "\", got \"" + it->second.substr(at, 60) + "\"";
  }
  for (const auto& [name, content] : got) {
    if (expected.find(name) == expected.end()) return name + " should not be there";
  }
  return "";
}

class DiskFaultWalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FaultyFileSystem files(reference_.path().string());
    const DayRun run = DriveTheDay(files, [](int) {});
    ASSERT_FALSE(run.lost);
    expected_ = ReadFolder(reference_.path() / "day");
    operations_ = files.operations;
    ASSERT_GT(operations_, 100);
    ASSERT_EQ(expected_.count("2026-12-06.plt") + expected_.count("2026-12-07.plt") +
                  expected_.count("2026-12-06.wpt") + expected_.count("2026-12-07.wpt") +
                  expected_.count("2026-12-06.gpx") + expected_.count("2026-12-07.rte"),
              6u);
  }

  // The walk's length: every operation here; PATHMERE_FAULT_WALK_STEP=1 in
  // scripts/fault-walk.sh, a sample of them in the sanitizer build.
  long Step() const {
    const char* step = std::getenv("PATHMERE_FAULT_WALK_STEP");
    return step != nullptr && std::atol(step) > 0 ? std::atol(step) : 1;
  }

  testing::ScopedTimeZone utc_{"UTC"};
  testing::TempFolder reference_;
  Files expected_;
  long operations_ = 0;
};

TEST_F(DiskFaultWalkTest, EveryOperationFailingInTurnLosesNothing) {
  struct Fault {
    const char* legend;
    uint32_t error;
    int seconds;  // how long the disk stays broken; 0: one operation only
  };
  const Fault faults[] = {
      {"full disk, once", ENOSPC, 0}, {"full disk for three minutes", ENOSPC, 180},
      {"read-only, once", EROFS, 0},  {"read-only for a minute", EROFS, 60},
      {"I/O error, once", EIO, 0},    {"I/O error for a minute", EIO, 60},
  };
  long walked = 0;
  for (long k = 1; k <= operations_; k += Step()) {
    for (const Fault& fault : faults) {
      testing::TempFolder disk;
      FaultyFileSystem files(disk.path().string());
      int brokenSince = -1;
      if (fault.seconds == 0) files.FailAt(k, fault.error);
      const DayRun run = DriveTheDay(files, [&](int second) {
        if (fault.seconds == 0) return;
        if (brokenSince < 0 && files.operations + 1 >= k) {
          files.FailFromNow(fault.error);
          brokenSince = second;
        } else if (brokenSince >= 0 && second - brokenSince >= fault.seconds) {
          files.Recover();
        }
      });
      ++walked;
      const std::string where = std::string(fault.legend) + " at operation " + std::to_string(k);
      ASSERT_FALSE(run.lost) << where;
      ASSERT_EQ(FirstDifference(expected_, ReadFolder(disk.path() / "day")), "") << where << "\n" << run.log;
      // A failure that cost a write is told, and so is its end.
      if (files.injected() && !files.injectedSync() && run.log.find("Error") != std::string::npos) {
        EXPECT_NE(run.log.find("written again"), std::string::npos) << where << "\n" << run.log;
      }
    }
  }
  std::printf("walked %ld faulty runs over %ld file operations\n", walked, operations_);
}

TEST_F(DiskFaultWalkTest, APowerCutAtEveryOperationLeavesWhatWasSynced) {
  long walked = 0;
  for (long k = 1; k <= operations_; k += Step()) {
    for (const bool torn : {false, true}) {
      testing::TempFolder disk;
      FaultyFileSystem files(disk.path().string());
      files.CutAt(k);
      std::string pltAtCut;
      Files synced;
      // The first run dies at the cut: what it leaves is what was synced.
      DriveTheDay(files, [&](int) {});
      files.PowerCut(torn);
      synced = ReadFolder(disk.path() / "day");
      // The next start on what is left, and the day again from its start:
      // every point that was synced stays, every GPX file is whole.
      DriveTheDay(files, [&](int) {});
      ++walked;
      const std::string where =
          std::string(torn ? "torn " : "") + "power cut at operation " + std::to_string(k);
      const Files after = ReadFolder(disk.path() / "day");
      for (const auto& [name, content] : synced) {
        if (name.ends_with(".plt") || name.ends_with(".nmea")) {
          ASSERT_TRUE(after.count(name)) << where << ": " << name;
          // Every whole line synced before the cut is still there, in order.
          const std::string& now = after.at(name);
          size_t from = 0;
          for (size_t at = 0, end; (end = content.find('\n', at)) != std::string::npos; at = end + 1) {
            const std::string line = content.substr(at, end + 1 - at);
            const size_t found = now.find(line, from);
            ASSERT_NE(found, std::string::npos) << where << ": " << name << " lost " << line;
            from = found + line.size();
          }
        }
      }
      for (const auto& [name, content] : after) {
        EXPECT_EQ(name.find(".broken"), std::string::npos) << where << ": " << name;
        if (!name.ends_with(".gpx")) continue;
        std::string problem;
        EXPECT_TRUE(testing::GpxIsValid(disk.path() / "day" / name, &problem)) << where << ": " << problem;
      }
    }
  }
  std::printf("walked %ld power cuts over %ld file operations\n", walked, operations_);
}

}  // namespace
}  // namespace pathmere
