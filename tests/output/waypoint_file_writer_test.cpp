#include "output/waypoint_file_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>

#include "support/day_file_headers.h"
#include "support/writer_bench.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::Blocker;
using testing::FixAt;
using testing::ScopedTimeZone;
using testing::WriterBench;

const std::string kHeader(testing::kWaypointHeader);
// 06.12.2026 02:56:44.5 UTC, one hour east of UTC.
constexpr char kExampleLine[] =
    "-1,W261206-035645,51.47788000,-0.00147000,46362.12273727,0,1,3,0,65535,Created_by_Pathmere,"
    "0,0,0.00000,115.49 \r\n";

class WaypointFileWriterTest : public ::testing::Test {
 protected:
  ScopedTimeZone berlin_{"Europe/Berlin"};  // one hour east of UTC in December
  WriterBench bench;
  WaypointFileWriter writer{bench.files, bench.log};
};

TEST_F(WaypointFileWriterTest, WritesHeaderAndWaypointAtOnce) {
  EXPECT_EQ(kHeader.size(), 71u);
  EXPECT_EQ(writer.SaveWaypoint(FixAt(6, 12, 26, 2, 56, 44.5)), 0);
  EXPECT_EQ(bench.Read("2026-12-06.wpt"), kHeader + kExampleLine);
  EXPECT_EQ(bench.panel.Log(), "(1) Waypoint saved. \r\n");

  GpsFix unknown = FixAt(6, 12, 26, 2, 57, 0.0);
  unknown.altitude = kUnknownAltitude;
  EXPECT_EQ(writer.SaveWaypoint(unknown), 0);
  EXPECT_EQ(bench.Read("2026-12-06.wpt").substr(71 + sizeof kExampleLine - 1),
            "-1,W261206-035700,51.47788000,-0.00147000,46362.12291667,0,1,3,0,65535,Created_by_Pathmere,"
            "0,0,0.00000,-777 \r\n");
  // The line stays composed; writing it again appends it again.
  EXPECT_EQ(writer.WriteLine(), 0);
  const std::string line = writer.line();
  EXPECT_EQ(bench.Read("2026-12-06.wpt"), kHeader + kExampleLine + line + line);
}

TEST_F(WaypointFileWriterTest, HeaderGoesOverTheStartOfAShortFileOnlyAndNewLinesStartOnTheirOwn) {
  struct Row {
    const char* legend;
    std::string before;
    std::string after;
  };
  const Row rows[] = {
      {"header only: written again over itself", kHeader, kHeader + kExampleLine},
      {"10 bytes of other text: kept after the header", "0123456789",
       kHeader + "0123456789\r\n" + kExampleLine},
      {"a waypoint written by hand: kept", "1,HOME,51.5,-0.1,46362.0,0,1,3,0,65535,,0,0,0,-777\r\n",
       kHeader + "1,HOME,51.5,-0.1,46362.0,0,1,3,0,65535,,0,0,0,-777\r\n" + kExampleLine},
      {"72 bytes: appended to, on a line of its own", std::string(72, 'x'),
       std::string(72, 'x') + "\r\n" + kExampleLine},
      {"a line cut by a power cut: ended first", kHeader + "-1,W2612",
       kHeader + "-1,W2612\r\n" + kExampleLine},
  };
  for (const Row& row : rows) {
    WriterBench fresh;
    fresh.Write("2026-12-06.wpt", row.before);
    WaypointFileWriter waypoints(fresh.files, fresh.log);
    EXPECT_EQ(waypoints.SaveWaypoint(FixAt(6, 12, 26, 2, 56, 44.5)), 0) << row.legend;
    EXPECT_EQ(fresh.Read("2026-12-06.wpt"), row.after) << row.legend;
  }
}

TEST_F(WaypointFileWriterTest, NameRoundsSecondsAndFollowsTheLocalDay) {
  struct Row {
    int day, hour, minute;
    double seconds;
    const char* file;
    const char* name;
  };
  const Row rows[] = {
      {6, 2, 56, 44.49, "2026-12-06.wpt", "W261206-035644"},
      {6, 2, 56, 44.5, "2026-12-06.wpt", "W261206-035645"},
      {6, 2, 56, 59.5, "2026-12-06.wpt", "W261206-035660"},  // no carry into the minute
      {6, 23, 30, 0.0, "2026-12-07.wpt", "W261207-003000"},  // UTC still the 6th
  };
  for (const Row& row : rows) {
    WriterBench fresh;
    WaypointFileWriter waypoints(fresh.files, fresh.log);
    waypoints.SaveWaypoint(FixAt(row.day, 12, 26, row.hour, row.minute, row.seconds));
    EXPECT_EQ(fresh.Read(row.file).substr(71, 18), std::string("-1,") + row.name + ",") << row.name;
  }
}

TEST_F(WaypointFileWriterTest, FailureIsPostedAndNotCalledSaved) {
  struct Row {
    Blocker blocker;
    int code;
    const char* message;
  };
  const Row rows[] = {
      {Blocker::kFolderIsAFile, kCreateDirectoryFailed, "(1) CreateDirectory Error: 17 \r\n"},
      {Blocker::kDayFileIsAFolder, kOpenFailed, "(1) File Open Error: 21 \r\n"},
      {Blocker::kDayFileIsDevFull, kHeaderWriteFailed, "(1) File Header Write Error: 28 \r\n"},
      {Blocker::kDayFileIsAFifo, kSeekFailed, "(1) Set File Pointer Error: 29 \r\n"},  // to the start
  };
  for (const Row& row : rows) {
    WriterBench fresh;
    WaypointFileWriter waypoints(fresh.files, fresh.log);
    testing::PlaceBlocker(fresh, row.blocker, "2026-12-06.wpt");
    EXPECT_EQ(waypoints.SaveWaypoint(FixAt(6, 12, 26, 2, 56, 44.5)), row.code) << row.message;
    EXPECT_EQ(fresh.panel.Log(), row.message);
  }
}

// Absurd decoded values can make a line longer than its 256 bytes: such a
// line is not composed, nothing is written and nothing is said to be saved.
TEST_F(WaypointFileWriterTest, LineTooLongForItsBufferIsNotWritten) {
  EXPECT_EQ(writer.SaveWaypoint(FixAt(6, 12, 26, 2, 56, 44.5, 1e300)), kNothingToWrite);
  EXPECT_STREQ(writer.line(), "");
  EXPECT_FALSE(fs::exists(bench.Folder()));
  EXPECT_EQ(bench.panel.Log(), "");
  EXPECT_EQ(writer.WriteLine(), kNothingToWrite);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  GpsFix noNumbers = FixAt(6, 12, 26, 2, 56, nan, nan, nan, nan);
  EXPECT_EQ(writer.SaveWaypoint(noNumbers), 0);
  EXPECT_EQ(std::string(writer.line()),
            "-1,W261206-035600,nan,nan,nan,0,1,3,0,65535,Created_by_Pathmere,0,0,0.00000,-777 \r\n");
}

}  // namespace
}  // namespace pathmere
