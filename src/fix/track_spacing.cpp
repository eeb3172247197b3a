#include "fix/track_spacing.h"

#include "text/safe_convert.h"

namespace pathmere {

bool TrackSpacing::TakePoint(const GpsFix& fix, bool waypointRequested) {
  int32_t step = 10;
  if (fix.speed > 18.0) step = TruncateToInt32(180.0 / fix.speed);
  // 64-bit so saturated absurd seconds cannot overflow the sum.
  const int64_t t = static_cast<int64_t>(TruncateToInt32(fix.seconds)) +
                    60LL * (fix.minute + 60LL * (fix.hour + 24LL * fix.day));
  const int64_t elapsed = t - lastTrackSecond_;
  // Going back in time means a new month or a replay of an older file.
  if (elapsed >= step || elapsed < 0 || waypointRequested) {
    lastTrackSecond_ = static_cast<int32_t>(t > INT32_MAX ? INT32_MAX : t);
    return true;
  }
  return false;
}

}  // namespace pathmere
