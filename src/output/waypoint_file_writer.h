#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "fix/gps_fix.h"
#include "output/day_file.h"

namespace pathmere {

// The OziExplorer waypoint file (".wpt") of the waypoint's local day. Each
// waypoint is written at once; one whose write fails is kept, with its day,
// and written (in order) at the next waypoint or retry that works.
class WaypointFileWriter final {
 public:
  static constexpr size_t kLineSize = 256;

  WaypointFileWriter(FileSystem& files, MessageLog& log);

  // Composes the waypoint of `fix`, writes it to its day's file and says so
  // in the message log. Returns 0 or the failing step's code (1 when no line
  // could be composed).
  int SaveWaypoint(const GpsFix& fix);
  // Writes the composed line to the file of the last waypoint's day.
  int WriteLine();
  // Writes the waypoints failed writes kept (once a tick).
  int RetryKept();
  size_t keptLines() const { return kept_.size(); }

  // Each waypoint made durable before it returns (live capture).
  void SetSyncToDisk(bool on) { file_.SetSyncToDisk(on); }
  void SetFolder(std::wstring_view path) { file_.SetFolder(path); }
  void GetFolder(wchar_t* buffer, size_t capacity) const { file_.GetFolder(buffer, capacity); }
  const wchar_t* folder() const { return file_.folder(); }
  const char* line() const { return line_; }
  const DayFile& file() const { return file_; }

 private:
  struct Kept {
    int32_t day, month, year;
    std::string line;
  };
  // Beyond this many kept waypoints the oldest goes.
  static constexpr size_t kMostKept = 1000;
  int WriteKept();

  DayFile file_;
  char line_[kLineSize] = {};
  std::deque<Kept> kept_;
};

}  // namespace pathmere
