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
#include "support/plt_points.h"
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
  // Four days interleaved, sent twice in one run (the broker sending a
  // backlog again): every day is read back or kept as needed.
  Row interleaved{"four interleaved days sent twice", {}, {}, 20, 20};
  for (int pass = 0; pass < 2; ++pass) {
    for (int point = 0; point < 5; ++point) {
      for (int day = 0; day < 4; ++day) interleaved.after.push_back(kT + day * kDay + point);
    }
  }
  const testing::ScopedEnv utc("TZ", "UTC");
  for (const Row& row : {rows[0], rows[1], rows[2], rows[3], rows[4], interleaved}) {
    SCOPED_TRACE(row.legend);
    testing::TempFolder folder;
    PosixFileSystem files(folder.path().string());
    testing::FakeTickClock clock(1000);
    MessageLog log;
    const auto now = [] { return kT + 10 * kDay; };
    {
      Collector first(files, clock, log, true, L"");
      first.SetWallClock(now);
      for (const int64_t tst : row.before) first.Take("owntracks/car/van7", Location(tst));
      ASSERT_EQ(first.Flush(), 0);
    }
    Collector second(files, clock, log, true, L"");
    second.SetWallClock(now);
    for (const int64_t tst : row.after)
      EXPECT_EQ(second.Take("owntracks/car/van7", Location(tst)), MessageProblem::kNone);
    ASSERT_EQ(second.Flush(), 0);
    EXPECT_EQ(second.written(), row.written);
    EXPECT_EQ(second.duplicates(), row.duplicates);
    EXPECT_EQ(PointsOnDisk(folder.path() / "car" / "van7"),
              row.before.size() + static_cast<size_t>(row.written));
  }
}

// A backlog out of order is written in time order; a time more than a day
// ahead of the collector's clock and a name that would be a hidden folder
// are refused.
TEST(CollectorTest, EachWriteIsInTimeOrderAndFutureTimesAndHiddenNamesAreRefused) {
  const testing::ScopedEnv utc("TZ", "UTC");
  testing::TempFolder folder;
  PosixFileSystem files(folder.path().string());
  testing::FakeTickClock clock(1000);
  MessageLog log;
  Collector collector(files, clock, log, false, L"");
  collector.SetWallClock([] { return kT + 3600; });
  for (const int64_t tst : {kT - 5, kT - 9, kT - 7}) collector.Take("owntracks/car/van7", Location(tst));
  ASSERT_EQ(collector.Flush(), 0);
  for (const int64_t tst : {kT + 2, kT - 1}) collector.Take("owntracks/car/van7", Location(tst));
  EXPECT_EQ(collector.Take("owntracks/car/van7", Location(kT + 3600 + kDay + 1)), MessageProblem::kFuture);
  EXPECT_EQ(collector.Take("owntracks/car/van7", Location(kT + kDay)), MessageProblem::kNone);
  EXPECT_EQ(collector.Take("owntracks/.car/van7", Location(kT)), MessageProblem::kTopic);
  EXPECT_EQ(collector.Take("owntracks/car/.van7", Location(kT)), MessageProblem::kTopic);
  ASSERT_EQ(collector.Flush(), 0);
  std::vector<int64_t> times;
  for (const testing::PltPoint& point : testing::PltPoints(folder.path() / "car" / "van7" / "2026-12-07.plt"))
    times.push_back(point.tst);
  EXPECT_EQ(times, (std::vector<int64_t>{kT - 9, kT - 7, kT - 5, kT - 1, kT + 2}));
  EXPECT_EQ(testing::PltPoints(folder.path() / "car" / "van7" / "2026-12-08.plt").size(), 1u);
  EXPECT_EQ(collector.skipped(MessageProblem::kFuture), 1);
}

}  // namespace
}  // namespace pathmere
