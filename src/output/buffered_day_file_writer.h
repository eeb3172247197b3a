#pragma once

#include <cstddef>
#include <cstdint>

#include "fix/fix_time.h"
#include "fix/gps_fix.h"
#include "output/day_file.h"
#include "platform/tick_clock.h"

namespace pathmere {

// A per-day file with pending lines in memory. Lines collect in the data area
// and go to the day's file in one write when the area is full, when the local
// day changes, after the writer's interval, or when someone asks for it.
//
// A failed flush at a day change or with a full area drops the pending lines
// (they belong to a day that is over, or there is no room for more); a failed
// timed or outside flush keeps them, so the next line after the interval tries
// again.
class BufferedDayFileWriter : public DayFile {
 public:
  // Writes the pending lines to the current day's file. With nothing pending
  // neither the folder nor the file is touched.
  int Flush();
  // Empties the pending lines and forces a full day check at the next fix;
  // the day itself stays.
  void Reset();

  int32_t fill() const { return fill_; }
  // The pending text, NUL-terminated (empty before a data area exists).
  const char* pending() const { return data_ != nullptr ? data_ : ""; }
  int32_t lastMinuteKey() const { return lastMinuteKey_; }
  int32_t dayKey() const { return dayKey_; }
  double minuteDayNumber() const { return minuteDayNumber_; }
  uint32_t lastFlushTick() const { return lastFlushTick_; }

 protected:
  BufferedDayFileWriter(FileSystem& files, TickClock& clock, MessageLog& log, const char* extension,
                        HeaderRule headerRule, char* headerScratch, uint32_t flushIntervalMs);

  // The data area of `capacity` bytes, terminator included. The NMEA log
  // attaches its block only when it first needs it.
  void AttachDataArea(char* data, size_t capacity);
  bool HasDataArea() const { return data_ != nullptr; }
  size_t capacity() const { return capacity_; }

  // Flush, then empty the area whatever the flush returned: there is no
  // room for the new line otherwise.
  int FlushToMakeRoom();
  // The day check of a dated fix: at a new minute, the local day, and at a new
  // day the flush into the old day's file and the new file date. Returns the
  // flush's code.
  int CheckDay(const GpsFix& fix);
  // Only the local-day part of the check, for the NMEA log, which keeps its own
  // minute key and no day number.
  int ChangeDayIfNeeded(const GpsFix& fix);
  void SetLastMinuteKey(int32_t key) { lastMinuteKey_ = key; }
  // Called when a new day has just been stored, before the minute key and the
  // day number are set.
  virtual void OnNewDay(const GpsFix& fix);

  // Appends formatted text in place; a text that would not fit the rest of
  // the area is refused as a whole (false) and nothing is added. Returns
  // true when added.
  bool AppendFormatted(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Adds the line that `compose(buffer, capacity)` writes into the rest of
  // the area. The composer returns the line's length, or 0 for a line that
  // did not fit, which is then left out whole. True when added.
  template <typename Compose>
  bool AppendLine(Compose&& compose) {
    if (data_ == nullptr) return false;
    const size_t length = compose(data_ + fill_, capacity_ - static_cast<size_t>(fill_));
    if (length == 0) {
      data_[fill_] = '\0';
      return false;
    }
    fill_ += static_cast<int32_t>(length);
    return true;
  }
  // Flushes when more than the interval has passed since the last flush.
  int FlushIfDue();

  TickClock& clock_;

 private:
  char* data_ = nullptr;
  size_t capacity_ = 0;
  uint32_t flushIntervalMs_;
  int32_t fill_ = 0;
  int32_t lastMinuteKey_ = -1;
  int32_t dayKey_ = -1;
  double minuteDayNumber_ = 0.0;
  uint32_t lastFlushTick_ = 0;
};

}  // namespace pathmere
