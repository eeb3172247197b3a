#pragma once

#include <cstdint>

namespace pathmere {

class Program;

// What the receiver's latest position is worth, as the track view marks it.
enum class PositionState {
  kIdle,     // neither the port nor a replay runs: nothing to mark
  kFix,      // the latest fix was taken
  kDropped,  // the latest fix was thrown out as implausible
  kNoFix,    // sentences arrive, but without a fix
  kNoData,   // nothing has arrived for as long as the panel waits to say so
};

struct LivePosition {
  PositionState state = PositionState::kIdle;
  // The latest valid position, which stays marked through "no fix" and
  // "no data".
  bool hasPosition = false;
  double latitude = 0.0;
  double longitude = 0.0;
};

// Watches the program once a tick. Silence is told by the fix processing's
// state not changing: the idle count the panel uses starts again after each
// "No data", so it cannot say how long the silence has lasted.
class LivePositionWatch {
 public:
  LivePosition Update(const Program& program);

 private:
  double lastRmcTime_ = 0.0;
  double lastGgaTimes_[2] = {};
  int32_t lastGgaSlot_ = -2;
  int32_t quietTicks_ = 0;
  LivePosition position_;
};

}  // namespace pathmere
