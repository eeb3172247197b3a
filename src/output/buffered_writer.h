#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "output/buffered_day_file.h"

namespace pathmere {

// What the buffered writers (track, route, NMEA log) share: their day file
// and its pending lines, flushed, set up and looked at the same way.
class BufferedWriter {
 public:
  int Flush() { return output_.Flush(); }
  // Writes what failed writes kept; nothing when nothing is kept.
  int RetryKept() { return output_.RetryKept(); }
  // Lines not yet in their files, the spill queue's included.
  size_t keptLines() const { return output_.keptLines(); }

  // The timed flush after `seconds` instead (0: the writer's own interval).
  void SetFlushSeconds(int32_t seconds) { output_.SetFlushSeconds(seconds); }
  // Each write made durable before it returns (live capture, not replays).
  void SetSyncToDisk(bool on) { output_.file().SetSyncToDisk(on); }
  void SetFolder(std::wstring_view path) { output_.file().SetFolder(path); }
  void GetFolder(wchar_t* buffer, size_t capacity) const { output_.file().GetFolder(buffer, capacity); }
  const wchar_t* folder() const { return output_.file().folder(); }
  int32_t fill() const { return output_.lines().fill(); }
  const char* pending() const { return output_.lines().text(); }
  const BufferedDayFile& output() const { return output_; }

 protected:
  BufferedWriter(FileSystem& files, TickClock& clock, MessageLog& log, const DayFileKind& kind,
                 uint32_t flushIntervalMs)
      : output_(files, clock, log, kind, flushIntervalMs) {}
  ~BufferedWriter() = default;

  BufferedDayFile output_;
};

}  // namespace pathmere
