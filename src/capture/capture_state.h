#pragma once

#include <cstdint>

#include "platform/file_handle.h"

namespace pathmere {

// Where the bytes come from: the serial port while it is open, or a recorded
// file while one is replayed (which has precedence). Written only by the
// capture loop; fix processing reads whether a replay runs.
struct CaptureState {
  int32_t portOpen = 0;                  // 1 while the serial port is open and read
  FileHandle replayFile = kInvalidFile;  // the recorded file being replayed

  bool IsReplaying() const { return replayFile != kInvalidFile; }
};

}  // namespace pathmere
