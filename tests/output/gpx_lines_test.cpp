#include "output/gpx_lines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "fix/fix_time.h"
#include "output/gpx_line_reader.h"
#include "support/writer_bench.h"

namespace pathmere {
namespace {

using testing::FixAt;

std::string Point(const GpsFix& fix, bool withMotion = true) {
  char buffer[640];
  const size_t length = ComposeGpxTrackPoint(fix, withMotion, buffer, sizeof buffer);
  EXPECT_EQ(length, std::string(buffer).size());
  return {buffer, length};
}

TEST(GpxLinesTest, TrackPointHasTheSchemasElementOrder) {
  GpsFix fix = FixAt(6, 12, 26, 2, 56, 44.5);
  fix.speed = 36.0;
  fix.course = 123.45;
  EXPECT_EQ(
      Point(fix),
      "<trkpt lat=\"51.477880000\" lon=\"-0.001470000\"><ele>35.2</ele><time>2026-12-06T02:56:44.5Z</time>"
      "<sat>8</sat><hdop>1</hdop><extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>10</gpxtpx:speed>"
      "<gpxtpx:course>123.45</gpxtpx:course></gpxtpx:TrackPointExtension></extensions></trkpt>\n");
  EXPECT_EQ(
      Point(fix, false),
      "<trkpt lat=\"51.477880000\" lon=\"-0.001470000\"><ele>35.2</ele><time>2026-12-06T02:56:44.5Z</time>"
      "<sat>8</sat><hdop>1</hdop></trkpt>\n");
}

// Each row changes the example fix and names a piece the point must hold
// (`present`) and one it must not (`absent`, may be empty).
TEST(GpxLinesTest, NumbersArePlainDecimalsAndUnknownValuesAreLeftOut) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    const char* legend;
    std::function<void(GpsFix&)> change;
    const char* present;
    const char* absent;
  };
  const Row rows[] = {
      {"full precision: 9 decimals", [](GpsFix& f) { f.latitude = 12.3456789012; }, "lat=\"12.345678901\"",
       ""},
      {"south and west",
       [](GpsFix& f) {
         f.latitude = -33.9;
         f.longitude = -151.2;
       },
       "lat=\"-33.900000000\" lon=\"-151.200000000\"", ""},
      {"longitude 180 reads -180", [](GpsFix& f) { f.longitude = 180.0; }, "lon=\"-180.000000000\"", ""},
      {"just below 180 rounds to -180", [](GpsFix& f) { f.longitude = 179.9999999996; },
       "lon=\"-180.000000000\"", "lon=\"180"},
      {"-180 stays", [](GpsFix& f) { f.longitude = -180.0; }, "lon=\"-180.000000000\"", ""},
      {"190 is -170", [](GpsFix& f) { f.longitude = 190.0; }, "lon=\"-170.000000000\"", ""},
      {"below sea level", [](GpsFix& f) { f.altitude = -12.5; }, "<ele>-12.5</ele>", ""},
      {"Everest", [](GpsFix& f) { f.altitude = 8848.86; }, "<ele>8848.86</ele>", ""},
      {"altitude to the millimetre", [](GpsFix& f) { f.altitude = 0.0004; }, "<ele>0</ele>", "<ele>-"},
      {"unknown altitude", [](GpsFix& f) { f.altitude = kUnknownAltitude; }, "<time>", "<ele>"},
      {"absurd altitude", [](GpsFix& f) { f.altitude = 1e300; }, "<time>", "<ele>"},
      {"NaN altitude", [](GpsFix& f) { f.altitude = kNaN; }, "<time>", "<ele>"},
      {"whole second", [](GpsFix& f) { f.seconds = 44.0; }, "T02:56:44Z", ":44."},
      {"hundredths", [](GpsFix& f) { f.seconds = 44.25; }, "T02:56:44.25Z", ""},
      {"milliseconds", [](GpsFix& f) { f.seconds = 7.125; }, "T02:56:07.125Z", ""},
      {"the .plt's second: 44.9999995 reads 45", [](GpsFix& f) { f.seconds = 44.9999995; }, "T02:56:45Z", ""},
      {"never second 60", [](GpsFix& f) { f.seconds = 59.9996; }, "T02:56:59.999Z", ":60"},
      {"leap second", [](GpsFix& f) { f.seconds = 60.0; }, "T02:56:59Z", ":60"},
      {"unknown satellites and HDOP",
       [](GpsFix& f) {
         f.satellites = kUnknownSatellites;
         f.hdop = kUnknownHdop;
       },
       "</time><extensions>", "<sat>"},
      {"absurd HDOP", [](GpsFix& f) { f.hdop = 1e200; }, "<sat>8</sat><extensions>", "<hdop>"},
      {"quality unknown: no fix kind", [](GpsFix& f) { f.fixQuality = kUnknownFixQuality; }, "</time><sat>",
       "<fix>"},
      {"plain GPS: 2D or 3D is not said", [](GpsFix& f) { f.fixQuality = 1; }, "</time><sat>", "<fix>"},
      {"differential, before the satellites", [](GpsFix& f) { f.fixQuality = 2; },
       "</time><fix>dgps</fix><sat>", ""},
      {"PPS", [](GpsFix& f) { f.fixQuality = 3; }, "<fix>pps</fix>", ""},
      {"RTK has no GPX name", [](GpsFix& f) { f.fixQuality = 4; }, "</time><sat>", "<fix>"},
      {"course 359.999 is 0", [](GpsFix& f) { f.course = 359.999; }, "<gpxtpx:course>0</gpxtpx:course>", ""},
      {"course -90 is 270", [](GpsFix& f) { f.course = -90.0; }, "<gpxtpx:course>270</gpxtpx:course>", ""},
      {"NaN speed: course alone", [](GpsFix& f) { f.speed = kNaN; }, "<gpxtpx:course>", "<gpxtpx:speed>"},
      {"no motion at all",
       [](GpsFix& f) {
         f.speed = kNaN;
         f.course = 1e300;
       },
       "</hdop></trkpt>", "<extensions>"},
      {"huge speed", [](GpsFix& f) { f.speed = 1e300; }, "<gpxtpx:course>", "<gpxtpx:speed>"},
  };
  for (const Row& row : rows) {
    GpsFix fix = FixAt(6, 12, 26, 2, 56, 44.5);
    row.change(fix);
    const std::string point = Point(fix);
    EXPECT_NE(point.find(row.present), std::string::npos) << row.legend << ": " << point;
    if (row.absent[0] != '\0') {
      EXPECT_EQ(point.find(row.absent), std::string::npos) << row.legend << ": " << point;
    }
    for (const char* never : {"e+", "e-", "nan", "inf"}) {
      EXPECT_EQ(point.find(never), std::string::npos) << row.legend << ": " << point;
    }
  }
}

TEST(GpxLinesTest, APositionThatIsNoPlaceGivesNoPointAndASmallBufferNoHalfPoint) {
  char buffer[640];
  for (const auto& [latitude, longitude] : {std::pair{91.0, 0.0},
                                            {std::nan(""), 0.0},
                                            {0.0, 1e300},
                                            {0.0, std::numeric_limits<double>::infinity()}}) {
    EXPECT_EQ(
        ComposeGpxTrackPoint(FixAt(6, 12, 26, 2, 56, 44.5, latitude, longitude), true, buffer, sizeof buffer),
        0u);
    EXPECT_STREQ(buffer, "");
  }
  EXPECT_EQ(ComposeGpxTrackPoint(FixAt(6, 12, 26, 2, 56, 44.5), true, buffer, 100), 0u);
  EXPECT_STREQ(buffer, "");
}

TEST(GpxLinesTest, HeadWaypointAndRoutePoint) {
  char buffer[640];
  const GpsFix fix = FixAt(6, 12, 26, 2, 56, 44.5);
  const std::string head(buffer, ComposeGpxHead("0.1", fix, buffer, sizeof buffer));
  EXPECT_TRUE(head.starts_with(kGpxOwnPrefix));
  EXPECT_NE(head.find("creator=\"Pathmere 0.1\""), std::string::npos);
  // The schema instance's namespace is http, or validators reject the file.
  EXPECT_NE(head.find("xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""), std::string::npos);
  EXPECT_TRUE(head.ends_with("<metadata><time>2026-12-06T02:56:44.5Z</time></metadata>\n")) << head;

  GpsFix local = fix;
  local.hour = 3;
  const std::string name(buffer, ComposeWaypointName(fix, local, buffer, sizeof buffer));
  EXPECT_EQ(name, "W261206-035645");  // as the .wpt names it: local time, second rounded
  EXPECT_EQ(
      std::string(buffer, ComposeGpxWaypoint(fix, name, buffer, sizeof buffer)),
      "<wpt lat=\"51.477880000\" lon=\"-0.001470000\"><ele>35.2</ele><time>2026-12-06T02:56:44.5Z</time>"
      "<name>W261206-035645</name><sat>8</sat><hdop>1</hdop></wpt>\n");
  // Another program's name: markup escaped, code-page bytes replaced.
  const std::string escaped(buffer, ComposeGpxWaypoint(fix, "a<b>&\"c\"\xd1", buffer, sizeof buffer));
  EXPECT_NE(escaped.find("<name>a&lt;b&gt;&amp;&quot;c&quot;?</name>"), std::string::npos) << escaped;
  EXPECT_EQ(std::string(buffer, ComposeGpxRoutePoint(fix, "R261206<3>", buffer, sizeof buffer)),
            "<rtept lat=\"51.477880000\" lon=\"-0.001470000\"><time>2026-12-06T02:56:44.5Z</time>"
            "<name>R261206&lt;3&gt;</name></rtept>\n");
}

TEST(GpxLinesTest, DayNumbersComeBackAsTheTimeTheyWereMadeOf) {
  struct Row {
    int day, month, year, hour, minute;
    double seconds;
  };
  for (const Row& row : {Row{6, 12, 26, 2, 56, 44.5}, Row{1, 1, 0, 0, 0, 0.0}, Row{29, 2, 24, 23, 59, 59.999},
                         Row{31, 12, 99, 12, 0, 0.25}}) {
    const double dayNumber =
        FixTimeToDays(row.day, row.month, 2000u + row.year, row.hour, row.minute, 0) + row.seconds / 86400.0;
    GpsFix fix;
    ASSERT_TRUE(DayNumberToFixTime(dayNumber, &fix)) << dayNumber;
    EXPECT_EQ(fix.day, row.day);
    EXPECT_EQ(fix.month, row.month);
    EXPECT_EQ(fix.year, row.year);
    EXPECT_EQ(fix.hour, row.hour);
    EXPECT_EQ(fix.minute, row.minute);
    EXPECT_NEAR(fix.seconds, row.seconds, 0.0005);
  }
  GpsFix fix;
  for (const double absurd : {0.0, -5.0, 1e300, std::nan("")}) EXPECT_FALSE(DayNumberToFixTime(absurd, &fix));
}

// The summary reads the receiver's speed back from the track points.
TEST(GpxLinesTest, TrackPointsGiveTheirTimeAndSpeedBack) {
  for (const double seconds : {0.0, 44.5, 59.999}) {
    GpsFix fix = FixAt(29, 2, 24, 23, 59, seconds);
    fix.speed = 123.4;
    GpxPointSpeed point;
    ASSERT_TRUE(ParseGpxPointSpeed(Point(fix), &point)) << Point(fix);
    EXPECT_NEAR((point.dayNumber - FixTimeToDays(29, 2, 2024, 23, 59, 0)) * 86400.0, seconds, 0.0006);
    EXPECT_NEAR(point.metresPerSecond, 123.4 / 3.6, 0.001);
  }
  const std::string time = "<trkpt lat=\"1\" lon=\"2\"><time>2026-12-06T02:56:44Z</time>";
  const std::string speed = "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>";
  const std::string end = "</gpxtpx:speed></gpxtpx:TrackPointExtension></extensions></trkpt>";
  GpxPointSpeed point{1.0, 2.0};
  for (const std::string& line :
       {Point(FixAt(6, 12, 26, 2, 56, 44.5), false), time + speed + "nan" + end, time + speed + "-1" + end,
        time + speed + "1e999" + end, time + speed + "100000" + end, time + speed + "12x" + end,
        time + speed + end, time + speed + "12",
        std::string("<wpt lat=\"1\" lon=\"2\"><time>2026-12-06T02:56:44Z</time>"),
        "<trkpt lat=\"1\"><time>2026-13-06T02:56:44Z</time>" + speed + "1" + end,
        "<trkpt lat=\"1\"><time>2026-12-06T02:56:44</time>" + speed + "1" + end,
        "<trkpt lat=\"1\"><time>2026-12-06T02:56:44.Z</time>" + speed + "1" + end,
        "<trkpt lat=\"1\"><time>1999-12-06T02:56:44Z</time>" + speed + "1" + end,
        std::string("<trkpt \x80\xff\0<time>", 15) + "\n"}) {
    EXPECT_FALSE(ParseGpxPointSpeed(line, &point)) << line;
  }
  EXPECT_EQ(point.dayNumber, 1.0) << "left as it was";
  EXPECT_TRUE(ParseGpxPointSpeed(time + speed + "0" + end, &point));
  EXPECT_EQ(point.metresPerSecond, 0.0);
}

}  // namespace
}  // namespace pathmere
