#include "route/route_point_selector.h"

#include <cmath>
#include <limits>

#include "fix/positions_apart.h"
#include "text/safe_convert.h"

namespace pathmere {
namespace {

constexpr double kAssumedHdop = 3.5;      // when the fix carries none
constexpr double kPoorHdop = 3.0;         // above it, points at least 10 s apart
constexpr int64_t kPoorHdopSpacing = 10;  // s
constexpr int64_t kPause = 60;            // s
constexpr double kMetresPerHdopAfterPause = 50.0;
constexpr double kNoisyHdop = 2.0;  // above it, every point must have moved
constexpr double kMetresPerHdop = 10.0;
constexpr double kSlowSpeed = 5.0;         // km/h; below it only distance counts
constexpr double kLongDistance = 300.0;    // m
constexpr int64_t kLongestInterval = 300;  // s
constexpr double kSharpTurn = 50.0;        // degrees
constexpr double kTurn = 30.0;             // degrees, counted above kTurnSpeed
constexpr double kTurnSpeed = 30.0;        // km/h
constexpr double kSpeedChange = 10.0;      // km/h

// Whole seconds since UTC midnight. Absurd seconds (NaN, "1e999") saturate,
// and the sum is kept within int32 so it can be stored as it was compared.
int32_t SecondOfDay(const GpsFix& fix) {
  const int64_t second =
      3600LL * fix.hour + 60LL * fix.minute + static_cast<int64_t>(TruncateToInt32(fix.seconds));
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(second > kMax ? kMax : second);
}

}  // namespace

void RoutePointSelector::SelectRoutePoint(const GpsFix& fix) {
  const int32_t second = SecondOfDay(fix);
  // Every saved waypoint is also a route point, without further tests.
  if (flags_.waypointRequested == 0 && !IsRoutePoint(fix, second)) return;
  lastRoutePoint = {second, fix.course, fix.speed, fix.latitude, fix.longitude};
  sink_.AddPoint(fix);
}

bool RoutePointSelector::IsRoutePoint(const GpsFix& fix, int32_t second) const {
  const double hdop = fix.hdop < 0.0 ? kAssumedHdop : fix.hdop;
  // 64-bit: the difference of two int32 values may not fit in one. Negative
  // after UTC midnight (the point is a time of day without date) or a clock
  // jump back; the spacing and pause tests then do not apply.
  const int64_t elapsed = static_cast<int64_t>(second) - lastRoutePoint.second;

  if (hdop > kPoorHdop && elapsed > 0 && elapsed < kPoorHdopSpacing) return false;
  if (elapsed > kPause && !MovedMoreThan(fix, kMetresPerHdopAfterPause * hdop)) return false;
  if (hdop > kNoisyHdop && !MovedMoreThan(fix, kMetresPerHdop * hdop)) return false;

  if (fix.speed < kSlowSpeed) return MovedMoreThan(fix, kLongDistance);

  if (elapsed >= kLongestInterval || elapsed < 0) return true;

  // 350 degrees against 10 is a turn of 20.
  double turn = std::fabs(fix.course - lastRoutePoint.course);
  if (turn > 180.0) turn = 360.0 - turn;
  if (turn > kSharpTurn) return true;
  if (turn > kTurn && fix.speed > kTurnSpeed) return true;

  return std::fabs(fix.speed - lastRoutePoint.speed) > kSpeedChange && MovedMoreThan(fix, kLongDistance);
}

bool RoutePointSelector::MovedMoreThan(const GpsFix& fix, double metres) const {
  return PositionsApart(fix.latitude, fix.longitude, lastRoutePoint.latitude, lastRoutePoint.longitude,
                        metres) != 0;
}

}  // namespace pathmere
