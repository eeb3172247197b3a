#pragma once

#include <cstdint>

#include "fix/replay_state.h"

namespace pathmere {

// Where the bytes come from: the serial port while it is open, or a recorded
// file while one is replayed (which has precedence). Written only by the
// capture loop.
struct CaptureState : ReplayState {
  int32_t portOpen = 0;  // 1 while the serial port is open and read
  // Ticks in a row whose reads of a network source ended with bytes still
  // coming: how far the logger is behind the source, in seconds.
  uint32_t backlogTicks = 0;
};

}  // namespace pathmere
