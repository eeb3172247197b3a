#pragma once

#include <cstdint>

namespace pathmere {

// Requests and counts that several subsystems read and write, all on the one
// thread.
struct SharedFlags {
  int32_t waypointRequested = 0;  // set by commands, consumed by fix processing
  int32_t flushRequested = 0;     // set by commands, performed by the next tick
  int32_t idleTicks = 0;          // ticks since the last sentence
  uint32_t sentencesSeen = 0;     // every sentence handed on, wrapping; for front ends that tell of silence
};

}  // namespace pathmere
