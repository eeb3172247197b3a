#include "app/day_track.h"

#include <cmath>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "app/day_summary.h"
#include "app/day_track_feed.h"
#include "app/pending_points.h"
#include "app/track_projection.h"
#include "output/gpx_file_writer.h"
#include "output/ozi_lines.h"
#include "output/track_file_writer.h"
#include "route/route_file_writer.h"
#include "support/day_file_headers.h"
#include "support/writer_bench.h"

namespace pathmere {
namespace {

using testing::FixAt;

constexpr double kNoon = 46362.5;  // 2026-12-06 12:00 UTC
constexpr double kNorthDegreesPerMetre = 1.0 / 111195.0;

// A track line as the writer composes it, `seconds` after noon and `metres`
// north of 51.5 N 0 E.
std::string TrackLine(double seconds, double metres, double altitude = 35.2) {
  char line[128];
  const GpsFix fix = FixAt(6, 12, 26, 12, 0, 0.0, 51.5 + metres * kNorthDegreesPerMetre, 0.0, altitude);
  ComposeTrackPointLine(fix, kNoon + seconds / 86400.0, line, sizeof line);
  return line;
}

TEST(DayTrackTest, TrackTextGivesPointsPiecesDistanceAndBounds) {
  const std::string header = testing::TrackHeader(2026, 12, 6);
  const struct Row {
    const char* legend;
    std::string text;
    size_t points;
    int pieces;
    double metres;
  } rows[] = {
      {"header only", header, 0, 0, 0.0},
      {"a walk", header + TrackLine(0, 0) + TrackLine(1, 10) + TrackLine(2, 20), 3, 1, 20.0},
      {"180 s apart is one line", TrackLine(0, 0) + TrackLine(180, 100), 2, 1, 100.0},
      {"181 s apart breaks it, and the jump is no distance", TrackLine(0, 0) + TrackLine(181, 100), 2, 2,
       0.0},
      {"a point earlier than the last breaks it", TrackLine(10, 0) + TrackLine(5, 50) + TrackLine(6, 60), 3,
       2, 10.0},
      {"lines that are no points are passed over",
       TrackLine(0, 0) + "nan, nan,0, -777,nan, 06.12.26, 03:01:00\r\n" +
           "91.00000000, 0.00000000,0, -777,46362.5, 06.12.26, 12:00:00\r\n" +
           "51.5, 0,0, -777,1e999, 06.12.26, 12:00:00\r\n" + std::string(5000, 'x') + "\r\n" +
           std::string("\x80\xff\0,,,,,,\r\n", 11) + TrackLine(1, 5),
       2, 1, 5.0},
      {"a line without its end is left for later", TrackLine(0, 0) + "51.50010000, 0.00000000,0, 1", 1, 1,
       0.0},
  };
  for (const Row& row : rows) {
    DayTrack track;
    track.AddTrackText(row.text);
    EXPECT_EQ(track.points().size(), row.points) << row.legend;
    EXPECT_EQ(track.pieceCount(), row.pieces) << row.legend;
    EXPECT_NEAR(track.distanceMetres(), row.metres, 0.05) << row.legend;
  }

  DayTrack walk;
  walk.AddTrackText(TrackLine(0, 0, 100.0) + TrackLine(2, 20, -99999.99) + TrackLine(4, 60));
  const GeoBounds& bounds = walk.bounds();
  EXPECT_NEAR(bounds.south, 51.5, 1e-8);
  EXPECT_NEAR(bounds.north, 51.5 + 60 * kNorthDegreesPerMetre, 1e-7);
  EXPECT_NEAR(walk.points()[0].altitudeMetres, 100.0, 0.01) << "feet back to metres";
  EXPECT_FALSE(walk.points()[1].hasAltitude) << "-777 is unknown";
  EXPECT_NEAR(walk.points()[1].speedKmh, 36.0, 0.01);
  EXPECT_NEAR(walk.points()[2].speedKmh, 72.0, 0.01);
  EXPECT_NEAR((walk.lastDayNumber() - walk.firstDayNumber()) * 86400.0, 4.0, 1e-3);
}

TEST(DayTrackTest, AWaysLowerBoundIsBelowItAndCloseWhenShort) {
  const struct Row {
    double lat1, lon1, lat2, lon2;
    bool close;  // within 2 % of the way; else 0
  } rows[] = {
      {0.0, 0.0, 0.0001, 0.0, true},
      {60.0, 10.0, 60.0, 10.0003, true},
      {-33.86, 151.2, -33.8601, 151.2002, true},
      {89.9, 0.0, 89.9001, 90.0, false},
      {48.0, 179.9999, 48.0, -179.9999, false},
      {48.0, 11.0, 49.0, 11.0, false},
      {std::nan(""), 0.0, 0.0, 0.0, false},
  };
  for (const Row& r : rows) {
    const double c1 = CosineOfLatitude(r.lat1), c2 = CosineOfLatitude(r.lat2);
    const double exact = GroundDistanceMetres(r.lat1, r.lon1, c1, r.lat2, r.lon2, c2);
    const double atLeast = GroundDistanceAtLeastMetres(r.lat1, r.lon1, c1, r.lat2, r.lon2, c2);
    if (r.close) {
      EXPECT_LE(atLeast, exact) << r.lat1 << "," << r.lon1;
      EXPECT_GE(atLeast, 0.98 * exact) << r.lat1 << "," << r.lon1;
    } else {
      EXPECT_EQ(atLeast, 0.0) << r.lat1 << "," << r.lon1;
    }
  }
}

TEST(DayTrackTest, DayFilesAreKnownByTheirNames) {
  const struct {
    const wchar_t* name;
    bool isDayFile;
  } rows[] = {
      {L"2026-12-06.plt", true},   {L"2026-12-06.rte", true},   {L"2026-12-06.wpt", true},
      {L"2026-12-06.nmea", false}, {L"2026-13-06.plt", false},  {L"2026-12-00.plt", false},
      {L"2026-1a-06.plt", false},  {L"2026-12-06.plt~", false}, {L"x2026-12-06.plt", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DateOfDayFile(row.name).has_value(), row.isDayFile) << std::string(row.name, row.name + 14);
  }
  testing::WriterBench bench;
  for (const char* name :
       {"2026-12-07.wpt", "2026-12-06.plt", "2026-12-06.rte", "2026-12-05.nmea", "notes"}) {
    bench.Write(name, "");
  }
  const std::vector<LocalDate> days = DaysWithFiles(bench.files, L"\\Pathmere");
  EXPECT_EQ(days, (std::vector<LocalDate>{{2026, 12, 6}, {2026, 12, 7}}));
  EXPECT_TRUE(DaysWithFiles(bench.files, L"\\Missing").empty());
}

// The writers' own files and pending lines, as the view sees them each tick.
class DayTrackFeedTest : public ::testing::Test {
 protected:
  testing::ScopedTimeZone utc_{"UTC"};
  testing::WriterBench bench;
  TrackFileWriter track{bench.files, bench.clock, bench.log};
  RouteFileWriter route{bench.files, bench.clock, bench.log};
  GpxFileWriter gpx{bench.files, bench.log, "test"};
  DayTrackFeed feed{bench.files, L"\\Pathmere", {2026, 12, 6}};

  void SetUp() override { gpx.SetFolder(track.folder()); }
  // Heading north at 10 m/s; the receiver says 10 m/s plus a tenth per second.
  GpsFix AddPoint(int second) {
    GpsFix fix = FixAt(6, 12, 26, 12, 0, second, 51.5 + second * 10 * kNorthDegreesPerMetre);
    fix.speed = (10.0 + second / 10.0) * 3.6;
    track.AddPoint(fix);
    route.AddPoint(fix);
    gpx.AddPoint(fix);
    return fix;
  }
  bool Update() { return feed.Update(PendingDayOf(track, route, gpx)); }
  // The receiver's speeds the feed has for the points of seconds 0 to n - 1.
  static std::vector<double> SpeedsOf(const DayTrackFeed& feed, int n) {
    std::vector<double> speeds;
    for (int second = 0; second < n; ++second) {
      speeds.push_back(std::round(feed.track().receiverSpeeds().At(kNoon + second / 86400.0) * 10.0) / 10.0);
    }
    return speeds;
  }
};

TEST_F(DayTrackFeedTest, PendingPointsCountOnceBeforeAndAfterTheyAreWritten) {
  for (int second = 0; second < 3; ++second) AddPoint(second);
  EXPECT_TRUE(Update());
  EXPECT_EQ(feed.track().points().size(), 3u) << "pending only";
  EXPECT_EQ(feed.track().routePoints().size(), 3u);
  EXPECT_FALSE(Update()) << "nothing new";

  ASSERT_EQ(track.Flush(), 0);
  ASSERT_EQ(route.Flush(), 0);
  EXPECT_TRUE(Update());
  EXPECT_EQ(feed.track().points().size(), 3u) << "now from the file, not twice";
  ASSERT_EQ(feed.track().routePoints().size(), 3u);
  EXPECT_EQ(feed.track().routePoints()[2].number, 3);
  AddPoint(3);
  EXPECT_TRUE(Update());
  EXPECT_EQ(feed.track().points().size(), 4u);
  EXPECT_NEAR(feed.track().distanceMetres(), 30.0, 0.05);

  // Another day's view takes nothing pending; a fresh one reads the files.
  DayTrackFeed other(bench.files, L"\\Pathmere", {2026, 12, 7});
  other.Update(PendingDayOf(track, route, gpx));
  EXPECT_TRUE(other.track().IsEmpty());
  DayTrackFeed fresh(bench.files, L"\\Pathmere", {2026, 12, 6});
  fresh.Update({});
  EXPECT_EQ(fresh.track().points().size(), 3u);
}

TEST_F(DayTrackFeedTest, FilesAreReadOnceThenOnlyWhatTheyGain) {
  const std::string header = testing::TrackHeader(2026, 12, 6);
  bench.Write("2026-12-06.plt", header + TrackLine(0, 0) + "51.50010000, 0.00000000,0, 1");
  bench.Write("2026-12-06.wpt",
              "OziExplorer Waypoint File Version 1.0\r\nWGS 84\r\nReserved 2\r\nReserved 3\r\n"
              "-1,W261206-120000,51.5,0.001,46362.5,0,1,3,0,65535,Created_by_Pathmere,0,0,0.00000,"
              "-777 \r\n");
  EXPECT_TRUE(Update());
  EXPECT_EQ(feed.track().points().size(), 1u);
  ASSERT_EQ(feed.track().waypoints().size(), 1u);
  EXPECT_EQ(feed.track().waypoints()[0].name, "W261206-120000");

  // The rest of the cut line, and the file replaced behind the view's back:
  // a line already read is not read again, a shorter file is read anew.
  {
    std::ofstream(bench.Folder() / "2026-12-06.plt", std::ios::app)
        << "0.00, 46362.50001157, 06.12.26, 12:00:01\r\n";
  }
  EXPECT_TRUE(Update());
  EXPECT_EQ(feed.track().points().size(), 2u);
  bench.Write("2026-12-06.plt", header + TrackLine(5, 50));
  EXPECT_TRUE(Update());
  EXPECT_EQ(feed.track().points().size(), 1u);
  EXPECT_EQ(feed.track().waypoints().size(), 1u);
}

TEST(TrackProjectionTest, FitZoomAndPanKeepPlacesWhereTheyBelong) {
  TrackProjection projection;
  projection.SetViewport(400, 300);
  GeoBounds bounds;
  bounds.Include(48.0, 11.0);
  bounds.Include(48.1, 11.2);
  projection.Fit(bounds);
  double x = 0.0;
  double y = 0.0;
  projection.ToPixel(48.0, 11.0, &x, &y);
  EXPECT_NEAR(x, 20.0, 0.5) << "south-west corner inside the margin";
  EXPECT_GT(y, 150.0);
  EXPECT_LE(y, 285.5);
  projection.ToPixel(48.1, 11.2, &x, &y);
  EXPECT_NEAR(x, 380.0, 0.5);

  double latitude = 0.0;
  double longitude = 0.0;
  projection.FromPixel(100.0, 50.0, &latitude, &longitude);
  projection.ZoomAbout(100.0, 50.0, 3.0);
  projection.ToPixel(latitude, longitude, &x, &y);
  EXPECT_NEAR(x, 100.0, 1e-6) << "the place under the cursor stays";
  EXPECT_NEAR(y, 50.0, 1e-6);
  projection.PanBy(-30.0, 40.0);
  projection.ToPixel(latitude, longitude, &x, &y);
  EXPECT_NEAR(x, 70.0, 1e-6);
  EXPECT_NEAR(y, 90.0, 1e-6);
  // Absurd requests leave the view usable.
  for (double factor : {0.0, -2.0, std::nan(""), HUGE_VAL, 1e300, 1e-300})
    projection.ZoomAbout(10, 10, factor);
  EXPECT_GE(projection.metresPerPixel(), TrackProjection::kFinestMetresPerPixel);
  EXPECT_LE(projection.metresPerPixel(), TrackProjection::kCoarsestMetresPerPixel);
}

TEST(TrackProjectionTest, DecimationKeepsOnePointPerPixelAndBreaks) {
  DayTrack track;
  // 1000 points within 10 m, a break, then a line leaving the view to the
  // east for 500 points and coming back.
  for (int i = 0; i < 1000; ++i)
    track.AddTrackPoint(51.5 + (i % 10) * 1e-6, 0.0, kNoon + i / 86400.0, false, 0);
  for (int i = 0; i < 500; ++i) {
    track.AddTrackPoint(51.5, 0.01 + i * 0.01, kNoon + (2000 + i) / 86400.0, false, 0);
  }
  track.AddTrackPoint(51.5, 0.0, kNoon + 2500 / 86400.0, false, 0);
  TrackProjection projection;
  projection.SetViewport(200, 200);
  GeoBounds near;
  near.Include(51.49, -0.02);
  near.Include(51.51, 0.02);
  projection.Fit(near);
  PixelLines lines;
  DecimateTrack(track.points(), projection, &lines);
  ASSERT_EQ(lines.LineCount(), 2u);
  EXPECT_EQ(lines.LineEnd(0) - lines.starts[0], 1u) << "all in one pixel";
  const size_t second = lines.LineEnd(1) - lines.starts[1];
  EXPECT_LE(second, 6u) << "the run beyond the east edge is left out";
  // The way back in starts from the run's last point, far east.
  EXPECT_GT(lines.points[lines.points.size() - 2].x, 10000);
  double x = 0.0;
  double y = 0.0;
  projection.ToPixel(51.5, 0.0, &x, &y);
  EXPECT_EQ(lines.points.back(),
            (PixelPoint{static_cast<int32_t>(std::round(x)), static_cast<int32_t>(std::round(y))}));

  const std::vector<ProfileColumn> columns =
      ProfileColumns(track.points(), track.firstDayNumber(), track.lastDayNumber(), 100);
  ASSERT_EQ(columns.size(), 100u);
  int counted = 0;
  for (const ProfileColumn& column : columns) counted += column.points;
  EXPECT_EQ(counted, 1501) << "every point in some column, the last one included";
  EXPECT_TRUE(ProfileColumns(track.points(), kNoon, kNoon, 100)[0].points == 0) << "no span, no profile";
}

TEST_F(DayTrackFeedTest, ReceiverSpeedsComeFromTheGpxFileAndItsPendingPoints) {
  for (int second = 0; second < 3; ++second) AddPoint(second);
  EXPECT_TRUE(Update());
  EXPECT_EQ(SpeedsOf(feed, 4), (std::vector<double>{10.0, 10.1, 10.2, -1.0})) << "pending; none for second 3";
  EXPECT_NEAR(feed.track().points()[2].speedKmh, 10.2 * 3.6, 1e-6)
      << "the profile's too, not the 36 km/h moved";

  // The writer goes on over its closing tags, and a waypoint rewrites the
  // file with a line before the track: every speed is read, none twice.
  ASSERT_EQ(gpx.Flush(), 0);
  EXPECT_TRUE(Update());
  EXPECT_FALSE(Update()) << "the closing tags read again are no change";
  ASSERT_EQ(gpx.SaveWaypoint(AddPoint(3)), 0);
  ASSERT_EQ(gpx.Flush(), 0);
  AddPoint(4);
  ASSERT_EQ(gpx.Flush(), 0);
  EXPECT_TRUE(Update());
  const std::vector<double> all = {10.0, 10.1, 10.2, 10.3, 10.4};
  EXPECT_EQ(SpeedsOf(feed, 5), all);
  ASSERT_EQ(track.Flush(), 0);
  DayTrackFeed fresh(bench.files, L"\\Pathmere", {2026, 12, 6});
  fresh.Update({});
  EXPECT_EQ(SpeedsOf(fresh, 5), all);
  ASSERT_EQ(fresh.track().points().size(), 5u);
  EXPECT_NEAR(fresh.track().points()[4].speedKmh, 10.4 * 3.6, 1e-6);
  // The median of the receiver's last three speeds, whichever way it came.
  EXPECT_NEAR(SummariseDay(fresh.track()).maxSpeed, 10.3, 1e-9);
  EXPECT_NEAR(SummariseDay(feed.track()).maxSpeed, 10.3, 1e-9);
}

// What a running logger hands `summary` is read whole or not at all.
TEST(PendingPointsTest, TextIsTakenWholeOrNotAtAll) {
  constexpr char kText[] =
      "pathmere pending points 1\nfolder 9\n/home/x y\ntrack 2026-12-06 5\nab\ncd\nroute - 0\n\n"
      "gpx 2026-12-07 3\n\xff\n\0\n";
  const std::string whole(kText, sizeof kText - 1);  // with the GPX part's NUL
  PendingPoints points;
  ASSERT_TRUE(ParsePendingPoints(whole, &points));
  EXPECT_EQ(points.folder, "/home/x y");
  EXPECT_EQ(points.trackDate, (LocalDate{2026, 12, 6}));
  EXPECT_EQ(points.track, "ab\ncd");
  EXPECT_FALSE(points.routeDate.IsSet());
  EXPECT_EQ(points.gpx, std::string("\xff\n\0", 3));
  EXPECT_EQ(points.View().gpxDate, (LocalDate{2026, 12, 7}));

  for (size_t cut = 0; cut < whole.size(); ++cut) {
    EXPECT_FALSE(ParsePendingPoints(whole.substr(0, cut), &points)) << cut;
  }
  const auto replaced = [&whole](std::string_view from, std::string_view to) {
    std::string changed = whole;
    return changed.replace(changed.find(from), from.size(), to);
  };
  for (const std::string& bad :
       {whole + "x", replaced("points 1", "points 2"), replaced("folder 9", "folder 8"),
        replaced("2026-12-06", "2026-13-06"), replaced("06 5", "06 -5"),
        replaced("06 5", "06 99999999999999999999"), replaced("route -", "route"), replaced("gpx", "wpt")}) {
    EXPECT_FALSE(ParsePendingPoints(bad, &points)) << bad;
  }
  EXPECT_EQ(points.folder, "/home/x y") << "left as it was";
}

}  // namespace
}  // namespace pathmere
