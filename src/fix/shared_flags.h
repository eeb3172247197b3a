#pragma once

#include <cstdint>

#include "platform/file_handle.h"

namespace pathmere {

// Values that several subsystems read and write, all on the one thread.
struct SharedFlags {
  int32_t waypointRequested = 0;  // set by commands, consumed by fix processing
  int32_t flushRequested = 0;     // set by commands, performed by the next tick
  int32_t idleTicks = 0;          // ticks since the last sentence
  int32_t portOpen = 0;           // 1 while the serial port is open and read
  FileHandle replayFile = kInvalidFile;  // the recorded file being replayed

  bool IsReplaying() const { return replayFile != kInvalidFile; }
};

}  // namespace pathmere
