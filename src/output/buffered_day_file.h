#pragma once

#include <cstddef>
#include <cstdint>

#include "fix/gps_fix.h"
#include "output/day_file.h"
#include "output/flush_follower.h"
#include "output/pending_lines.h"
#include "output/spill_queue.h"
#include "platform/tick_clock.h"

namespace pathmere {

// What a day check found: the code of the flush it made (kWriteOk when none)
// and whether it has just stored a new day.
struct DayCheck {
  int code = kWriteOk;
  bool newDay = false;
};

// A per-day file with pending lines in memory. Lines collect in the pending
// area and go to the day's file in one write when the area is full, when the
// local day changes, after the writer's interval, or when someone asks for it.
//
// A failed flush keeps the pending lines: in the area after a timed or
// outside flush, so the next line after the interval tries again; behind the
// area, in the spill queue, when the area must be emptied (it is full, or its
// day is over). Kept lines go out, oldest first and each to its own day's
// file, at the next flush that works.
class BufferedDayFile {
 public:
  BufferedDayFile(FileSystem& files, TickClock& clock, MessageLog& log, const DayFileKind& kind,
                  uint32_t flushIntervalMs);

  DayFile& file() { return file_; }
  const DayFile& file() const { return file_; }
  // The area is the owner's; the NMEA log attaches its block only when it
  // first needs it.
  PendingLines& lines() { return lines_; }
  const PendingLines& lines() const { return lines_; }

  // Writes the pending lines to the current day's file. With nothing pending
  // neither the folder nor the file is touched; otherwise the follower (if
  // any) writes first.
  int Flush();
  void SetFollower(FlushFollower* follower) { follower_ = follower; }
  // Flush, then empty the area whatever the flush returned: there is no
  // room for the new line otherwise. Lines it could not write are kept in
  // the spill queue.
  int FlushToMakeRoom();
  // Flushes when lines are kept after a failed write, so they go out as
  // soon as the disk takes them again, new lines or not (once a tick).
  int RetryKept();
  // Lines not yet in their files: the area's and the spill queue's.
  size_t keptLines() const { return CountLines(lines_.View()) + spill_.lines(); }
  const SpillQueue& spill() const { return spill_; }
  // Flushes when more than the interval has passed since the last flush.
  int FlushIfDue();
  // The interval in whole seconds instead of the writer's own (0 or less:
  // the writer's own again). Every other reason to flush stays.
  void SetFlushSeconds(int32_t seconds);
  uint32_t flushIntervalMs() const { return flushIntervalMs_; }
  // Empties the pending lines and forces a full day check at the next fix;
  // the day itself stays.
  void Reset();

  // The day check of a dated fix: at a new minute, the local day, and at a
  // new day the flush into the old day's file and the new file date.
  DayCheck CheckDay(const GpsFix& fix);
  // Only the local-day part of the check, for the NMEA log, which keeps its
  // own minute key and no day number.
  DayCheck ChangeDayIfNeeded(const GpsFix& fix);
  void SetLastMinuteKey(int32_t key) { lastMinuteKey_ = key; }

  int32_t lastMinuteKey() const { return lastMinuteKey_; }
  int32_t dayKey() const { return dayKey_; }
  // Day number of the minute of the last day check, for the lines' time
  // column.
  double minuteDayNumber() const { return minuteDayNumber_; }
  uint32_t lastFlushTick() const { return lastFlushTick_; }
  // Tick of the last flush that wrote lines to the file; valid once
  // writtenFlushes() is above 0.
  uint32_t lastWriteTick() const { return lastWriteTick_; }
  uint32_t writtenFlushes() const { return writtenFlushes_; }

 private:
  // Writes the spill queue's batches in order; stops at the first failure.
  int WriteSpill();
  // The area's lines into the spill queue, for the current file's day.
  void Spill();

  DayFile file_;
  PendingLines lines_;
  SpillQueue spill_;
  TickClock& clock_;
  FlushFollower* follower_ = nullptr;
  const uint32_t ownIntervalMs_;
  uint32_t flushIntervalMs_;
  int32_t lastMinuteKey_ = -1;
  int32_t dayKey_ = -1;
  double minuteDayNumber_ = 0.0;
  uint32_t lastFlushTick_ = 0;
  uint32_t lastWriteTick_ = 0;
  uint32_t writtenFlushes_ = 0;
};

}  // namespace pathmere
