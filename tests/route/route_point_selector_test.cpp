#include "route/route_point_selector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace pathmere {
namespace {

constexpr double kMetresPerDegreeLatitude = 111195.48679259;
constexpr double kUnknown = -1.0;

class RecordingSink : public RoutePointSink {
 public:
  int AddPoint(const GpsFix& fix) override {
    points.push_back(fix);
    return 3;  // a failing writer: selection must not care
  }
  std::vector<GpsFix> points;
};

// A receiver near 48 N 11 E. `second` is the UTC time of day; `north` moves
// the fix that many metres north of the base.
class RoutePointSelectorTest : public ::testing::Test {
 protected:
  static GpsFix Fix(double second, double north, double speed, double course, double hdop) {
    GpsFix fix{};
    const auto whole = static_cast<int>(second);
    fix.hour = static_cast<uint8_t>(whole / 3600);
    fix.minute = static_cast<uint8_t>(whole / 60 % 60);
    fix.seconds = second - whole / 60 * 60;
    fix.timeOfDay = second;
    fix.latitude = 48.0 + north / kMetresPerDegreeLatitude;
    fix.longitude = 11.0;
    fix.speed = speed;
    fix.course = course;
    fix.hdop = hdop;
    return fix;
  }

  // Makes the last route point a fix at `second`, at the base, 20 km/h, course 90.
  void LastPointAt(int32_t second, double speed = 20.0, double course = 90.0) {
    selector.lastRoutePoint = {second, course, speed, 48.0, 11.0};
  }

  // True when the fix became a route point.
  bool Offer(double second, double north, double speed, double course, double hdop) {
    const size_t before = sink.points.size();
    selector.SelectRoutePoint(Fix(second, north, speed, course, hdop));
    return sink.points.size() > before;
  }

  SharedFlags flags;
  RecordingSink sink;
  RoutePointSelector selector{flags, sink};
};

TEST_F(RoutePointSelectorTest, FirstFixFarFromZeroIsTakenAndRemembered) {
  const GpsFix fix = Fix(45319.6, 0.0, 0.0, 0.0, 1.0);
  selector.SelectRoutePoint(fix);
  ASSERT_EQ(sink.points.size(), 1u);
  EXPECT_EQ(sink.points[0].latitude, fix.latitude);
  EXPECT_EQ(selector.lastRoutePoint.second, 45319);  // seconds truncated
  EXPECT_EQ(selector.lastRoutePoint.latitude, fix.latitude);
  EXPECT_EQ(selector.lastRoutePoint.longitude, 11.0);
  EXPECT_EQ(selector.lastRoutePoint.speed, 0.0);
  // Standing at the same place: nothing more.
  EXPECT_FALSE(Offer(45320, 0.0, 0.0, 0.0, 1.0));
}

TEST_F(RoutePointSelectorTest, StandingReceiverNeedsThreeHundredMetres) {
  LastPointAt(1000, 0.0);
  for (int second = 1001; second < 9000; second += 97) {
    EXPECT_FALSE(Offer(second, 290.0, 4.9, 180.0, 1.0)) << second;
  }
  EXPECT_TRUE(Offer(9000, 301.0, 4.9, 180.0, 1.0));
}

TEST_F(RoutePointSelectorTest, StraightAtSpeedAfterThreeHundredSeconds) {
  LastPointAt(1000);
  EXPECT_FALSE(Offer(1299, 1600.0, 20.0, 90.0, 2.0));
  EXPECT_TRUE(Offer(1300, 1600.0, 20.0, 90.0, 2.0));
  // After a pause the fix must also have moved more than 50 x HDOP metres.
  LastPointAt(1000);
  EXPECT_FALSE(Offer(1300, 99.0, 20.0, 90.0, 2.0));
}

TEST_F(RoutePointSelectorTest, Turns) {
  LastPointAt(1000, 20.0, 90.0);
  EXPECT_TRUE(Offer(1001, 5.0, 20.0, 141.0, 1.0));  // 51 degrees, one second later
  LastPointAt(1000, 20.0, 90.0);
  EXPECT_FALSE(Offer(1001, 5.0, 30.0, 130.0, 1.0));  // 40 degrees at 30 km/h
  EXPECT_TRUE(Offer(1001, 5.0, 30.1, 130.0, 1.0));   // 40 degrees above 30 km/h
  LastPointAt(1000, 40.0, 10.0);
  EXPECT_FALSE(Offer(1001, 5.0, 40.0, 350.0, 1.0));  // 350 after 10 is a turn of 20
  EXPECT_TRUE(Offer(1001, 5.0, 40.0, 310.0, 1.0));   // and 310 after 10 one of 60
}

TEST_F(RoutePointSelectorTest, SpeedChangeNeedsThreeHundredMetres) {
  LastPointAt(1000, 20.0);
  EXPECT_FALSE(Offer(1030, 290.0, 35.0, 90.0, 1.0));
  EXPECT_FALSE(Offer(1030, 310.0, 29.0, 90.0, 1.0));  // a change of only 9
  EXPECT_TRUE(Offer(1030, 310.0, 35.0, 90.0, 1.0));
}

TEST_F(RoutePointSelectorTest, PoorHdopSpacesPointsInTimeAndDistance) {
  // HDOP 4.0: a sharp turn 1 to 9 s after the last point is held back...
  LastPointAt(1000);
  EXPECT_FALSE(Offer(1001, 100.0, 20.0, 180.0, 4.0));
  EXPECT_FALSE(Offer(1009, 100.0, 20.0, 180.0, 4.0));
  // ...but not in the same second, and from 10 s on only when beyond 40 m.
  EXPECT_TRUE(Offer(1000, 41.0, 20.0, 180.0, 4.0));
  LastPointAt(1000);
  EXPECT_FALSE(Offer(1010, 39.0, 20.0, 180.0, 4.0));
  EXPECT_TRUE(Offer(1010, 41.0, 20.0, 180.0, 4.0));
}

TEST_F(RoutePointSelectorTest, UnknownHdopCountsAsThreeAndAHalf) {
  LastPointAt(1000);
  EXPECT_FALSE(Offer(1005, 100.0, 20.0, 180.0, kUnknown));
  EXPECT_FALSE(Offer(1020, 34.0, 20.0, 180.0, kUnknown));
  EXPECT_TRUE(Offer(1020, 36.0, 20.0, 180.0, kUnknown));
}

TEST_F(RoutePointSelectorTest, HdopZeroIsNotReplaced) {
  LastPointAt(1000);
  EXPECT_FALSE(Offer(1061, 0.0, 20.0, 180.0, 0.0));  // after a pause, not moved at all
  EXPECT_TRUE(Offer(1061, 0.5, 20.0, 180.0, 0.0));   // any movement will do
  EXPECT_TRUE(Offer(1062, 0.5, 20.0, 0.0, 0.0));     // no spacing, no distance
}

TEST_F(RoutePointSelectorTest, WaypointIsTakenWithoutTests) {
  LastPointAt(1000, 0.0);
  flags.waypointRequested = 1;
  EXPECT_TRUE(Offer(1001, 0.0, 0.0, 90.0, 9.9));
  EXPECT_TRUE(Offer(1001, 0.0, 0.0, 90.0, 9.9));
  EXPECT_EQ(selector.lastRoutePoint.second, 1001);
}

TEST_F(RoutePointSelectorTest, NewUtcDayTakesTheFirstFixAtSpeed) {
  LastPointAt(86390);
  EXPECT_TRUE(Offer(5, 100.0, 20.0, 90.0, 1.0));
  EXPECT_EQ(selector.lastRoutePoint.second, 5);
  // At poor HDOP the 10-second rule does not hold it back, the distance does.
  LastPointAt(86395);
  EXPECT_FALSE(Offer(2, 39.0, 20.0, 90.0, 4.0));
  EXPECT_TRUE(Offer(2, 41.0, 20.0, 90.0, 4.0));
}

TEST_F(RoutePointSelectorTest, AbsurdSecondsGiveADefinedTime) {
  flags.waypointRequested = 1;
  GpsFix fix = Fix(86399, 0.0, 20.0, 90.0, 1.0);
  fix.seconds = INFINITY;
  selector.SelectRoutePoint(fix);
  EXPECT_EQ(selector.lastRoutePoint.second, INT32_MAX);
  fix.seconds = NAN;
  selector.SelectRoutePoint(fix);
  EXPECT_EQ(selector.lastRoutePoint.second, 23 * 3600 + 59 * 60);
  // The time since a point at INT32_MIN does not overflow.
  flags.waypointRequested = 0;
  selector.lastRoutePoint.second = INT32_MIN;
  EXPECT_TRUE(Offer(5, 100.0, 20.0, 90.0, 1.0));
}

}  // namespace
}  // namespace pathmere
