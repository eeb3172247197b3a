#pragma once

#include <cstdint>

#include "fix/gps_fix.h"
#include "output/buffered_day_file_writer.h"

namespace pathmere {

// The day's OziExplorer track file (".plt"): one line per track point, the
// positions and times in UTC, the file named by the local date.
class TrackFileWriter final : public BufferedDayFileWriter {
 public:
  static constexpr size_t kDataAreaSize = 2048;
  // A point line is under 100 bytes, so below this there is always room.
  static constexpr int32_t kFlushThreshold = 1969;
  static constexpr uint32_t kFlushIntervalMs = 300000;

  TrackFileWriter(FileSystem& files, TickClock& clock, MessageLog& log);

  // Adds one point. Returns 0, or the OR of the codes of the flushes it
  // triggered that failed.
  int AddPoint(const GpsFix& fix);

 private:
  size_t ComposeHeader(char* scratch, size_t capacity) const override;

  // Data area, then the header scratch: never overlapping.
  char block_[kDataAreaSize + kHeaderScratchSize] = {};
};

}  // namespace pathmere
