#pragma once

#include <cstdint>

#include "fix/gps_fix.h"
#include "fix/shared_flags.h"
#include "route/route_point_sink.h"

namespace pathmere {

// The route point taken last. The initial values make the first fix of a run
// look like one taken at least 1000 s after a point at 0 N 0 E, standing.
// Never reset: a new day or a new folder continues from here.
struct LastRoutePoint {
  int32_t second = -1000;  // whole seconds since UTC midnight
  double course = 0.0;     // degrees
  double speed = 0.0;      // km/h
  double latitude = 0.0;   // degrees
  double longitude = 0.0;  // degrees
};

// Picks the sparse route out of the accepted fixes: the start, turns, changes
// of speed over a longer distance, long straight stretches and waypoints.
class RoutePointSelector {
 public:
  RoutePointSelector(const SharedFlags& flags, RoutePointSink& sink) : flags_(flags), sink_(sink) {}

  // Called once for every accepted fix; hands the fix to the sink when it
  // becomes a route point.
  void SelectRoutePoint(const GpsFix& fix);

  LastRoutePoint lastRoutePoint;

 private:
  bool IsRoutePoint(const GpsFix& fix, int32_t second) const;
  bool MovedMoreThan(const GpsFix& fix, double metres) const;

  const SharedFlags& flags_;
  RoutePointSink& sink_;
};

}  // namespace pathmere
