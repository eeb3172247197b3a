#include "output/track_file_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <limits>

#include "output/ozi_line_reader.h"
#include "output/ozi_lines.h"
#include "output/spill_queue.h"
#include "support/day_file_headers.h"
#include "support/writer_bench.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::Blocker;
using testing::FixAt;
using testing::ScopedTimeZone;
using testing::WriterBench;

const std::string kHeader20261206 = testing::TrackHeader(2026, 12, 6);

class TrackFileWriterTest : public ::testing::Test {
 protected:
  ScopedTimeZone utc_{"UTC"};
  WriterBench bench;
  TrackFileWriter writer{bench.files, bench.clock, bench.log};
};

TEST_F(TrackFileWriterTest, WritesHeaderAndBothPointFormsByteForByte) {
  EXPECT_EQ(writer.AddPoint(FixAt(6, 12, 26, 2, 56, 44.5)), 0);
  GpsFix unknownAltitude = FixAt(6, 12, 26, 2, 56, 44.5);
  unknownAltitude.altitude = kUnknownAltitude;
  EXPECT_EQ(writer.AddPoint(unknownAltitude), 0);
  // Just below a whole second still reads as that second; the limit of the
  // known altitude is exclusive.
  GpsFix edge = FixAt(6, 12, 26, 2, 56, 44.9999995);
  edge.altitude = -90000.0;
  writer.AddPoint(edge);
  EXPECT_FALSE(bench.Exists("2026-12-06.plt"));  // nothing is due yet

  EXPECT_EQ(writer.Flush(), 0);
  EXPECT_EQ(kHeader20261206.size(), 132u);
  EXPECT_EQ(bench.Read("2026-12-06.plt"),
            kHeader20261206 +
                "51.47788000, -0.00147000,0, 115.49, 46362.12273727, 06.12.26, 02:56:44\r\n"
                "51.47788000, -0.00147000,0, -777,46362.12273727, 06.12.26, 02:56:44\r\n"
                "51.47788000, -0.00147000,0, -777,46362.12274306, 06.12.26, 02:56:45\r\n");
  EXPECT_EQ(writer.fill(), 0);
  EXPECT_EQ(bench.panel.Log(), "");
}

TEST_F(TrackFileWriterTest, FlushWithNothingPendingTouchesNoFile) {
  EXPECT_EQ(writer.Flush(), 0);
  EXPECT_FALSE(fs::exists(bench.Folder()));
}

TEST_F(TrackFileWriterTest, LaterRunsAppendWithoutASecondHeader) {
  writer.AddPoint(FixAt(6, 12, 26, 2, 56, 44.5));
  ASSERT_EQ(writer.Flush(), 0);
  TrackFileWriter nextRun(bench.files, bench.clock, bench.log);
  nextRun.AddPoint(FixAt(6, 12, 26, 9, 0, 0.0));
  ASSERT_EQ(nextRun.Flush(), 0);
  const std::string file = bench.Read("2026-12-06.plt");
  EXPECT_EQ(file.find("OziExplorer"), 0u);
  EXPECT_EQ(file.find("OziExplorer", 1), std::string::npos);
  EXPECT_NE(file.find("02:56:44\r\n51.47788000"), std::string::npos);
  EXPECT_EQ(file.substr(file.size() - 10), "09:00:00\r\n");
}

// A power cut in the middle of a write can leave the day's file ending inside
// a line. The next run's points must not be glued to that fragment, which
// would spoil the first of them as well.
TEST_F(TrackFileWriterTest, PointsAfterALineCutByACrashStartOnALineOfTheirOwn) {
  const std::string before = kHeader20261206 +
                             "51.47788000, -0.00147000,0, 115.49, 46362.12273727, 06.12.26, 02:56:44\r\n"
                             "51.47788000, -0.0014";
  bench.Write("2026-12-06.plt", before);
  writer.AddPoint(FixAt(6, 12, 26, 9, 0, 0.0));
  ASSERT_EQ(writer.Flush(), 0);
  EXPECT_EQ(bench.Read("2026-12-06.plt"),
            before + "\r\n51.47788000, -0.00147000,0, 115.49, 46362.37500000, 06.12.26, 09:00:00\r\n");
  // Once the file ends with a whole line again, points follow directly.
  writer.AddPoint(FixAt(6, 12, 26, 9, 0, 10.0));
  ASSERT_EQ(writer.Flush(), 0);
  const std::string after = bench.Read("2026-12-06.plt");
  EXPECT_EQ(after.substr(after.size() - 82),
            "09:00:00\r\n51.47788000, -0.00147000,0, 115.49, 46362.37511574, "
            "06.12.26, 09:00:10\r\n");
  // The writer remembers where its own last line ended; a file cut short
  // behind its back since then is still noticed.
  bench.Write("2026-12-06.plt", after.substr(0, after.size() - 5));
  writer.AddPoint(FixAt(6, 12, 26, 9, 0, 20.0));
  ASSERT_EQ(writer.Flush(), 0);
  EXPECT_EQ(bench.Read("2026-12-06.plt"),
            after.substr(0, after.size() - 5) +
                "\r\n51.47788000, -0.00147000,0, 115.49, 46362.37523148, 06.12.26, 09:00:20\r\n");
}

TEST_F(TrackFileWriterTest, LocalMidnightSplitsTheFilesButNotTheUtcColumns) {
  ScopedTimeZone berlin("Europe/Berlin");
  writer.AddPoint(FixAt(6, 12, 26, 22, 59, 50.0));               // 23:59:50 local
  EXPECT_EQ(writer.AddPoint(FixAt(6, 12, 26, 23, 0, 10.0)), 0);  // 00:00:10 local, 7th
  // The old day's point went out at the day change; the new one is pending.
  EXPECT_EQ(bench.Read("2026-12-06.plt").substr(132),
            "51.47788000, -0.00147000,0, 115.49, 46362.95821759, 06.12.26, 22:59:50\r\n");
  ASSERT_EQ(writer.Flush(), 0);
  const std::string nextDay = bench.Read("2026-12-07.plt");
  EXPECT_NE(nextDay.find("0,3,255,Track-2026-12-07,0,0,0,255\r\n"), std::string::npos);
  EXPECT_EQ(nextDay.substr(132),
            "51.47788000, -0.00147000,0, 115.49, 46362.95844907, 06.12.26, 23:00:10\r\n");
}

TEST_F(TrackFileWriterTest, FlushesAfterTheIntervalAndAtOnceWhenTheClockIsPastIt) {
  bench.clock.now = 1000000;  // up for longer than the interval
  writer.AddPoint(FixAt(6, 12, 26, 2, 56, 44.5));
  EXPECT_EQ(writer.fill(), 0);
  EXPECT_EQ(writer.output().lastFlushTick(), 1000000u);

  bench.clock.now += 300000;  // not more than the interval
  writer.AddPoint(FixAt(6, 12, 26, 2, 57, 0.0));
  EXPECT_GT(writer.fill(), 0);
  bench.clock.now += 1;
  writer.AddPoint(FixAt(6, 12, 26, 2, 57, 10.0));
  EXPECT_EQ(writer.fill(), 0);
  EXPECT_EQ(bench.Read("2026-12-06.plt").size(), 132u + 3 * 72);
}

TEST_F(TrackFileWriterTest, TickCounterWrapIsHarmless) {
  bench.clock.now = 0xFFFFF000u;
  writer.AddPoint(FixAt(6, 12, 26, 2, 56, 44.5));  // flushed: far past tick 0
  bench.clock.now = 1000;                          // wrapped, 5096 ms later
  writer.AddPoint(FixAt(6, 12, 26, 2, 57, 0.0));
  EXPECT_GT(writer.fill(), 0);
}

TEST_F(TrackFileWriterTest, FullDataAreaIsFlushedBeforeTheNextPoint) {
  int points = 0;
  while (writer.fill() < TrackFileWriter::kFlushThreshold) {
    writer.AddPoint(FixAt(6, 12, 26, 3, 0, points++));
  }
  const int32_t fullFill = writer.fill();
  EXPECT_LT(fullFill, static_cast<int32_t>(TrackFileWriter::kDataAreaSize));
  writer.AddPoint(FixAt(6, 12, 26, 3, 1, 0.0));
  EXPECT_EQ(bench.Read("2026-12-06.plt").size(), 132u + static_cast<size_t>(fullFill));
  EXPECT_EQ(writer.fill(), 72);
}

TEST_F(TrackFileWriterTest, NewFolderReceivesWhatIsPending) {
  writer.AddPoint(FixAt(6, 12, 26, 2, 56, 44.5));
  writer.SetFolder(L"\\Elsewhere");
  ASSERT_EQ(writer.Flush(), 0);
  EXPECT_TRUE(fs::exists(bench.Root() / "Elsewhere" / "2026-12-06.plt"));
  EXPECT_FALSE(fs::exists(bench.Folder()));
  wchar_t shown[300];
  writer.GetFolder(shown, 300);
  EXPECT_EQ(std::wstring(shown), L"\\Elsewhere");
}

TEST_F(TrackFileWriterTest, OverlongFolderIsCutToItsCapacity) {
  writer.SetFolder(std::wstring(400, L'x'));
  EXPECT_EQ(std::wstring(writer.folder()), std::wstring(264, L'x'));
  wchar_t small[8];
  writer.GetFolder(small, 8);
  EXPECT_EQ(std::wstring(small), L"xxxxxxx");
}

// A timed or outside flush that fails keeps the points; the next point after
// the interval tries again. The failure is told once, and its end with the
// count of failed writes.
TEST_F(TrackFileWriterTest, FailedTimedAndOutsideFlushesKeepThePoints) {
  testing::PlaceBlocker(bench, Blocker::kFolderIsAFile, "");
  bench.clock.now = 400000;
  EXPECT_EQ(writer.AddPoint(FixAt(6, 12, 26, 2, 56, 44.5)), kCreateDirectoryFailed);
  EXPECT_EQ(writer.Flush(), kCreateDirectoryFailed);
  EXPECT_EQ(writer.output().lastFlushTick(), 0u);
  EXPECT_EQ(bench.panel.Log(), "(1) CreateDirectory Error: 17 \r\n");

  fs::remove(bench.Folder());
  EXPECT_EQ(writer.AddPoint(FixAt(6, 12, 26, 2, 56, 54.5)), 0);
  EXPECT_EQ(writer.fill(), 0);
  const std::string file = bench.Read("2026-12-06.plt");
  EXPECT_NE(file.find("02:56:44\r\n"), std::string::npos);
  EXPECT_NE(file.find("02:56:54\r\n"), std::string::npos);
  EXPECT_EQ(bench.panel.Log(),
            "(1) CreateDirectory Error: 17 \r\n(2) 2026-12-06.plt written again after 2 failed writes \r\n");
}

// A flush that fails at a day change or with a full data area keeps the
// points behind the area, and they go to their own day's file, in order and
// once, at the first flush that works.
TEST_F(TrackFileWriterTest, FailedDayChangeAndFullAreaFlushesKeepThePoints) {
  testing::PlaceBlocker(bench, Blocker::kFolderIsAFile, "");
  writer.AddPoint(FixAt(6, 12, 26, 23, 0, 0.0));
  EXPECT_EQ(writer.AddPoint(FixAt(7, 12, 26, 0, 0, 5.0)), kCreateDirectoryFailed);
  EXPECT_EQ(writer.fill(), 72);
  EXPECT_NE(std::string(writer.pending()).find("07.12.26, 00:00:05"), std::string::npos);

  int points = 0;
  while (writer.fill() < TrackFileWriter::kFlushThreshold) {
    writer.AddPoint(FixAt(7, 12, 26, 0, 1, points++));
  }
  EXPECT_EQ(writer.AddPoint(FixAt(7, 12, 26, 0, 2, 0.0)), kCreateDirectoryFailed);
  EXPECT_EQ(writer.fill(), 72);
  EXPECT_EQ(writer.keptLines(), static_cast<size_t>(points) + 3);
  EXPECT_EQ(bench.panel.Log(), "(1) CreateDirectory Error: 17 \r\n");

  fs::remove(bench.Folder());
  ASSERT_EQ(writer.Flush(), 0);
  EXPECT_EQ(writer.keptLines(), 0u);
  EXPECT_EQ(bench.Read("2026-12-06.plt").substr(132),
            "51.47788000, -0.00147000,0, 115.49, 46362.95833333, 06.12.26, 23:00:00\r\n");
  const std::string day = bench.Read("2026-12-07.plt").substr(132);
  EXPECT_EQ(CountLines(day), static_cast<size_t>(points) + 2);
  EXPECT_LT(day.find("00:00:05"), day.find("00:01:00"));
  EXPECT_LT(day.find("00:01:00"), day.find("00:02:00"));
  EXPECT_EQ(day.find("00:02:00"), day.size() - 10);
}

TEST_F(TrackFileWriterTest, EachFailingStepPostsItsMessageWithTheErrorCode) {
  struct Row {
    Blocker blocker;
    int code;
    const char* message;
  };
  const Row rows[] = {
      {Blocker::kFolderIsAFile, kCreateDirectoryFailed, "(1) CreateDirectory Error: 17 \r\n"},
      {Blocker::kGrandparentMissing, kCreateDirectoryFailed, "(1) CreateDirectory Error: 2 \r\n"},
      {Blocker::kDayFileIsAFolder, kOpenFailed, "(1) File Open Error: 21 \r\n"},
      {Blocker::kDayFileIsDevFull, kHeaderWriteFailed, "(1) File Header Write Error: 28 \r\n"},
      {Blocker::kDayFileIsAFifo, kSeekFailed, "(1) Set File Pointer Error: 29 \r\n"},
  };
  for (const Row& row : rows) {
    WriterBench fresh;
    TrackFileWriter track(fresh.files, fresh.clock, fresh.log);
    testing::PlaceBlocker(fresh, row.blocker, "2026-12-06.plt");
    if (row.blocker == Blocker::kGrandparentMissing) track.SetFolder(testing::GrandparentMissingFolder());
    track.AddPoint(FixAt(6, 12, 26, 2, 56, 44.5));
    EXPECT_EQ(track.Flush(), row.code) << row.message;
    EXPECT_EQ(fresh.panel.Log(), row.message);
    EXPECT_EQ(std::wstring(track.output().file().message()),
              std::wstring(row.message, row.message + strlen(row.message)));
    EXPECT_GT(track.fill(), 0) << row.message;
  }
}

// The data write itself fails when the file may grow no further: the size
// limit of the process stands in for a full disk.
TEST_F(TrackFileWriterTest, FailedDataWritePostsFileWriteError) {
  bench.Write("2026-12-06.plt", kHeader20261206);
  writer.AddPoint(FixAt(6, 12, 26, 2, 56, 44.5));
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit limited = old;
  limited.rlim_cur = 132;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const int code = writer.Flush();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(code, kDataWriteFailed);
  EXPECT_EQ(bench.panel.Log(), "(1) File Write Error: 27 \r\n");
  EXPECT_EQ(writer.output().file().lastError(), static_cast<uint32_t>(EFBIG));
}

// Absurd decoded values make lines longer than an ordinary point line. One
// that fits the rest of the data area is kept as it is; one that does not is
// left out whole, never cut and never written past the area.
TEST_F(TrackFileWriterTest, LineTooLongForTheRestOfTheAreaIsLeftOut) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  GpsFix absurd = FixAt(6, 12, 26, 2, 56, 1e300, 1e300, -1e300, 1e300);
  writer.AddPoint(absurd);
  const int32_t absurdLength = writer.fill();
  EXPECT_GT(absurdLength, 900);  // fits an empty area
  writer.Flush();

  int points = 0;
  while (writer.fill() < 1900) writer.AddPoint(FixAt(6, 12, 26, 3, 0, points++));
  const std::string before = writer.pending();
  writer.AddPoint(absurd);
  EXPECT_EQ(std::string(writer.pending()), before);

  writer.AddPoint(FixAt(6, 12, 26, 3, 1, nan, nan, nan, nan));
  EXPECT_EQ(std::string(writer.pending()).substr(before.size()),
            "nan, nan,0, -777,nan, 06.12.26, 03:01:00\r\n");  // NaN is no known altitude
  ASSERT_EQ(writer.Flush(), 0);
}

// What the writers rely on from every line composer: a line that just fits
// its buffer is kept, one a byte too long is left out whole.
TEST(OziLinesTest, ALineJustFitsItsBufferOrIsLeftOutWhole) {
  using Compose = size_t (*)(const GpsFix& fix, char* buffer, size_t capacity);
  const struct {
    const char* legend;
    Compose compose;
  } rows[] = {
      {"track", [](const GpsFix& fix, char* buffer,
                   size_t capacity) { return ComposeTrackPointLine(fix, 46362.5, buffer, capacity); }},
      {"route",
       [](const GpsFix& fix, char* buffer, size_t capacity) {
         return ComposeRoutePointLine(1000, "REE", 7, fix, 46362.5, buffer, capacity);
       }},
      {"waypoint", [](const GpsFix& fix, char* buffer,
                      size_t capacity) { return ComposeWaypointLine(fix, fix, 46362.5, buffer, capacity); }},
  };
  const GpsFix fix = FixAt(6, 12, 26, 2, 56, 44.5, -1e30, 1e30);
  for (const auto& row : rows) {
    char whole[512];
    const size_t length = row.compose(fix, whole, sizeof whole);
    ASSERT_GT(length, 60u) << row.legend;
    ASSERT_EQ(std::string(whole).size(), length) << row.legend;
    char fitting[512];
    EXPECT_EQ(row.compose(fix, fitting, length + 1), length) << row.legend;
    EXPECT_EQ(std::string(fitting), std::string(whole)) << row.legend;
    char tooShort[512] = "untouched";
    EXPECT_EQ(row.compose(fix, tooShort, length), 0u) << row.legend;
    EXPECT_STREQ(tooShort, "") << row.legend;
  }
}

// What the track view reads back is what the composers wrote, and a line of
// another kind, a header or junk is not taken for a point.
TEST(OziLinesTest, LinesReadBackAsWrittenAndNothingElse) {
  const GpsFix fix = FixAt(6, 12, 26, 2, 56, 44.5, -33.8688, 151.2093, 58.0);
  char track[128];
  char route[128];
  char waypoint[256];
  ComposeTrackPointLine(fix, 46362.12273727, track, sizeof track);
  ComposeRoutePointLine(1234, "REE", 7, fix, 46362.5, route, sizeof route);
  ComposeWaypointLine(fix, fix, 46362.25, waypoint, sizeof waypoint);

  TrackLine trackLine;
  ASSERT_TRUE(ParseTrackPointLine(track, &trackLine));
  EXPECT_DOUBLE_EQ(trackLine.latitude, -33.8688);
  EXPECT_DOUBLE_EQ(trackLine.longitude, 151.2093);
  EXPECT_DOUBLE_EQ(trackLine.dayNumber, 46362.12273727);
  EXPECT_NEAR(trackLine.altitudeFeet, 58.0 * 3.2808399, 0.01);
  RouteLine routeLine;
  ASSERT_TRUE(ParseRoutePointLine(route, &routeLine));
  EXPECT_EQ(routeLine.number, 1234);
  EXPECT_DOUBLE_EQ(routeLine.longitude, 151.2093);
  EXPECT_DOUBLE_EQ(routeLine.dayNumber, 46362.5);
  WaypointLine waypointLine;
  ASSERT_TRUE(ParseWaypointLine(waypoint, &waypointLine));
  EXPECT_EQ(waypointLine.name, "W261206-025645");
  EXPECT_DOUBLE_EQ(waypointLine.latitude, -33.8688);

  const std::string notPoints[] = {
      "",
      "OziExplorer Track Point File Version 2.1\r\n",
      "0,3,255,Track-2026-12-06,0,0,0,255\r\n",
      "0          \r\n",
      "R,1,R261206,Track 06.12.2026,16711680\r\n",
      "WGS 84\r\n",
      "W,1,99999999999,1,REE001,48.1,11.5,46362.5,0,1,3,0,65535,,0,0, \r\n",  // number beyond the range
      "W,1,  1,  1,REE001,48.1,181,46362.5,0,1,3,0,65535,,0,0, \r\n",         // no such longitude
      "-1,W1,48.1,11.5,0.2,0\r\n",                                            // no such day
      "-1,W1,48.1,11.5,nan,0\r\n",
      std::string("-1,W1,48.1\0,11.5,46362.5\r\n", 26),
  };
  for (const std::string& line : notPoints) {
    EXPECT_FALSE(ParseTrackPointLine(line, &trackLine)) << line;
    EXPECT_FALSE(ParseRoutePointLine(line, &routeLine)) << line;
    EXPECT_FALSE(ParseWaypointLine(line, &waypointLine)) << line;
  }
  EXPECT_FALSE(ParseTrackPointLine(route, &trackLine));
  EXPECT_FALSE(ParseRoutePointLine(track, &routeLine));
  // A waypoint name is shown: bytes above 0x7F and controls become "?".
  ASSERT_TRUE(ParseWaypointLine("-1,W\x80\x07x,48.1,11.5,46362.5\r\n", &waypointLine));
  EXPECT_EQ(waypointLine.name, "W??x");
}

}  // namespace
}  // namespace pathmere
