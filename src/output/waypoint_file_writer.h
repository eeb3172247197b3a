#pragma once

#include <cstddef>

#include "fix/gps_fix.h"
#include "output/day_file.h"

namespace pathmere {

// The OziExplorer waypoint file (".wpt") of the waypoint's local day. Nothing
// is buffered: each waypoint is written at once.
class WaypointFileWriter final : public DayFile {
 public:
  static constexpr size_t kLineSize = 256;

  WaypointFileWriter(FileSystem& files, MessageLog& log);

  // Composes the waypoint of `fix`, writes it to its day's file and says so
  // in the message log. Returns 0 or the failing step's code (1 when no line
  // could be composed).
  int SaveWaypoint(const GpsFix& fix);
  // Writes the composed line to the file of the last waypoint's day.
  int WriteLine();

  const char* line() const { return line_; }

 private:
  size_t ComposeHeader(char* scratch, size_t capacity) const override;

  char headerScratch_[kHeaderScratchSize] = {};
  char line_[kLineSize] = {};
};

}  // namespace pathmere
