#pragma once

#include "platform/file_handle.h"

namespace pathmere {

// Whether the sentences come from a replayed file: fix processing does not
// log a replay's sentences again. Written only by the capture step.
struct ReplayState {
  FileHandle replayFile = kInvalidFile;  // the recorded file being replayed

  bool IsReplaying() const { return replayFile != kInvalidFile; }
};

}  // namespace pathmere
