#pragma once

#include <cstdint>

#include "fix/gps_fix.h"

namespace pathmere {

// Which accepted fixes become track points: one every 10 s, or about every
// 50 m above 18 km/h (180 / speed seconds), and any fix a waypoint asks for.
class TrackSpacing {
 public:
  // True when `fix` is due; it is then remembered as the last point.
  bool TakePoint(const GpsFix& fix, bool waypointRequested);

  // Fix time of the last point: seconds since the start of the month.
  int32_t lastTrackSecond() const { return lastTrackSecond_; }

 private:
  int32_t lastTrackSecond_ = -1000;
};

}  // namespace pathmere
