#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fix/gps_fix.h"
#include "output/buffered_day_file.h"

namespace pathmere {

// The day's OziExplorer track file (".plt"): one line per track point, the
// positions and times in UTC, the file named by the local date.
class TrackFileWriter final {
 public:
  static constexpr size_t kDataAreaSize = 2048;
  // A point line is under 100 bytes, so below this there is always room.
  static constexpr int32_t kFlushThreshold = 1969;
  static constexpr uint32_t kFlushIntervalMs = 300000;

  TrackFileWriter(FileSystem& files, TickClock& clock, MessageLog& log);

  // Adds one point. Returns 0, or the OR of the codes of the flushes it
  // triggered that failed.
  int AddPoint(const GpsFix& fix);
  int Flush() { return output_.Flush(); }

  // The timed flush after `seconds` instead (0: the writer's own interval).
  void SetFlushSeconds(int32_t seconds) { output_.SetFlushSeconds(seconds); }
  // A writer that writes its own pending points just before each write of
  // this one (the GPX file); null for none.
  void SetFollower(FlushFollower* follower) { output_.SetFollower(follower); }
  // Each write made durable before it returns (live capture, not replays).
  void SetSyncToDisk(bool on) { output_.file().SetSyncToDisk(on); }
  void SetFolder(std::wstring_view path) { output_.file().SetFolder(path); }
  void GetFolder(wchar_t* buffer, size_t capacity) const { output_.file().GetFolder(buffer, capacity); }
  const wchar_t* folder() const { return output_.file().folder(); }
  int32_t fill() const { return output_.lines().fill(); }
  const char* pending() const { return output_.lines().text(); }
  const BufferedDayFile& output() const { return output_; }

 private:
  BufferedDayFile output_;
  char area_[kDataAreaSize] = {};
};

}  // namespace pathmere
