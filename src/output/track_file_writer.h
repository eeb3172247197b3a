#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fix/gps_fix.h"
#include "output/buffered_writer.h"

namespace pathmere {

// The day's OziExplorer track file (".plt"): one line per track point, the
// positions and times in UTC, the file named by the local date.
class TrackFileWriter final : public BufferedWriter {
 public:
  static constexpr size_t kDataAreaSize = 2048;
  // A point line is under 100 bytes, so below this there is always room.
  static constexpr int32_t kFlushThreshold = 1969;
  static constexpr uint32_t kFlushIntervalMs = 300000;

  TrackFileWriter(FileSystem& files, TickClock& clock, MessageLog& log);

  // Adds one point. Returns 0, or the OR of the codes of the flushes it
  // triggered that failed.
  int AddPoint(const GpsFix& fix);
  // A writer that writes its own pending points just before each write of
  // this one (the GPX file); null for none.
  void SetFollower(FlushFollower* follower) { output_.SetFollower(follower); }

 private:
  char area_[kDataAreaSize] = {};
};

}  // namespace pathmere
