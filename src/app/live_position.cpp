#include "app/live_position.h"

#include <cmath>

#include "app/program.h"

namespace pathmere {

LivePosition LivePositionWatch::Update(const Program& program) {
  const FixState& fix = program.shownFixState();
  const bool heard = fix.currentFix.timeOfDay != lastRmcTime_ || fix.ggaSlot != lastGgaSlot_ ||
                     fix.ggaFixes[0].timeOfDay != lastGgaTimes_[0] ||
                     fix.ggaFixes[1].timeOfDay != lastGgaTimes_[1];
  lastRmcTime_ = fix.currentFix.timeOfDay;
  lastGgaSlot_ = fix.ggaSlot;
  lastGgaTimes_[0] = fix.ggaFixes[0].timeOfDay;
  lastGgaTimes_[1] = fix.ggaFixes[1].timeOfDay;
  quietTicks_ = heard ? 0 : quietTicks_ + 1;

  const GpsFix& current = fix.currentFix;
  const bool valid = IsValidFix(current) && std::isfinite(current.latitude) &&
                     std::isfinite(current.longitude) && std::fabs(current.latitude) <= 90.0 &&
                     std::fabs(current.longitude) <= 180.0;
  if (valid) {
    position_.hasPosition = true;
    position_.latitude = current.latitude;
    position_.longitude = current.longitude;
  }
  if (program.capture().portOpen == 0 && !program.IsReplaying()) {
    position_.state = PositionState::kIdle;
  } else if (quietTicks_ > TimerTick::kIdleTicksBeforeNoData) {
    position_.state = PositionState::kNoData;
  } else if (!valid) {
    position_.state = PositionState::kNoFix;
  } else {
    position_.state = fix.dropCount > 0 ? PositionState::kDropped : PositionState::kFix;
  }
  return position_;
}

}  // namespace pathmere
