// The collector's duplicate check across a restart: a point it wrote before
// is not written again, whatever order the points come back in and however
// many days lie between.
#include "app/collector.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_system_posix.h"
#include "support/fake_tick_clock.h"
#include "support/scoped_env.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kT = 1796655969;  // 2026-12-07 15:06:09 UTC
constexpr int64_t kDay = 86400;

std::string Location(int64_t tst) {
  return R"({"_type":"location","lat":52.1,"lon":4.9,"tst":)" + std::to_string(tst) + "}";
}

// Point lines in every .plt of the device's folder.
size_t PointsOnDisk(const fs::path& folder) {
  size_t points = 0;
  if (!fs::exists(folder)) return 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".plt") continue;
    std::ifstream in(entry.path());
    size_t lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    points += lines - 6;  // the header
  }
  return points;
}

TEST(CollectorTest, PointsWrittenBeforeARestartAreNotWrittenAgain) {
  struct Row {
    const char* legend;
    std::vector<int64_t> before;  // taken and written by the first run
    std::vector<int64_t> after;   // taken by the run after the restart
    int64_t written;              // by the second run
    int64_t duplicates;           // dropped by the second run
  };
  const Row rows[] = {
      {"the broker sends the last ones again", {kT, kT + 1, kT + 2}, {kT + 1, kT + 2, kT + 3}, 1, 2},
      {"a backlog older than the newest point written", {kT, kT + 10}, {kT + 5, kT, kT + 10, kT + 11}, 2, 2},
      {"yesterday's points after today's", {kT - kDay, kT}, {kT, kT - kDay, kT - kDay + 1}, 1, 2},
      {"no file yet", {}, {kT, kT, kT + 1}, 2, 1},
      // Day 0 is no longer kept in memory when it comes back: its file is
      // read again.
      {"more days than are kept, then the first again",
       {},
       {kT, kT + kDay, kT + 2 * kDay, kT + 3 * kDay, kT + 4 * kDay, kT, kT + 1},
       6,
       1},
  };
  const testing::ScopedEnv utc("TZ", "UTC");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    testing::TempFolder folder;
    PosixFileSystem files(folder.path().string());
    testing::FakeTickClock clock(1000);
    MessageLog log;
    {
      Collector first(files, clock, log, true, L"");
      for (const int64_t tst : row.before) first.Take("owntracks/car/van7", Location(tst));
      ASSERT_EQ(first.Flush(), 0);
    }
    Collector second(files, clock, log, true, L"");
    for (const int64_t tst : row.after)
      EXPECT_EQ(second.Take("owntracks/car/van7", Location(tst)), MessageProblem::kNone);
    ASSERT_EQ(second.Flush(), 0);
    EXPECT_EQ(second.written(), row.written);
    EXPECT_EQ(second.duplicates(), row.duplicates);
    EXPECT_EQ(PointsOnDisk(folder.path() / "car-van7"), row.before.size() + static_cast<size_t>(row.written));
  }
}

}  // namespace
}  // namespace pathmere
