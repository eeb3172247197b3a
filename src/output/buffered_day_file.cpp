#include "output/buffered_day_file.h"

#include <algorithm>
#include <cstdint>

#include "fix/fix_time.h"

namespace pathmere {

BufferedDayFile::BufferedDayFile(FileSystem& files, TickClock& clock, MessageLog& log,
                                 const DayFileKind& kind, uint32_t flushIntervalMs)
    : file_(files, log, kind),
      clock_(clock),
      ownIntervalMs_(flushIntervalMs),
      flushIntervalMs_(flushIntervalMs) {}

void BufferedDayFile::SetFlushSeconds(int32_t seconds) {
  // The tick counter's differences hold 49 days; no interval is longer.
  constexpr int32_t kLongestSeconds = static_cast<int32_t>(UINT32_MAX / 1000);
  flushIntervalMs_ =
      seconds <= 0 ? ownIntervalMs_ : 1000u * static_cast<uint32_t>(std::min(seconds, kLongestSeconds));
}

void BufferedDayFile::Reset() {
  lines_.Clear();
  lastMinuteKey_ = -1;
}

int BufferedDayFile::Flush() {
  const bool written = lines_.fill() != 0 || !spill_.empty();
  if (written) {
    if (follower_ != nullptr) follower_->FlushFollowing();
    int code = WriteSpill();
    if (code == kWriteOk && lines_.fill() != 0) code = file_.Write(lines_.View());
    if (code != kWriteOk) return code;
  }
  Reset();
  lastFlushTick_ = clock_.NowMs();
  if (written) {
    lastWriteTick_ = lastFlushTick_;
    ++writtenFlushes_;
  }
  return kWriteOk;
}

int BufferedDayFile::WriteSpill() {
  const SpillQueue::Date today{file_.fileDay(), file_.fileMonth(), file_.fileYear()};
  int code = kWriteOk;
  while (!spill_.empty() && code == kWriteOk) {
    const SpillQueue::Batch& batch = spill_.front();
    file_.SetFileDate(batch.date.day, batch.date.month, batch.date.year);
    code = file_.Write(batch.text);
    if (code == kWriteOk) spill_.PopFront();
  }
  file_.SetFileDate(today.day, today.month, today.year);
  return code;
}

void BufferedDayFile::Spill() {
  spill_.Push({file_.fileDay(), file_.fileMonth(), file_.fileYear()}, lines_.View());
}

int BufferedDayFile::RetryKept() {
  const bool kept = !spill_.empty() || (lines_.fill() != 0 && file_.lastWriteCode() != kWriteOk);
  return kept ? Flush() : kWriteOk;
}

int BufferedDayFile::FlushToMakeRoom() {
  const int code = Flush();
  if (code != kWriteOk) Spill();
  Reset();
  lastFlushTick_ = clock_.NowMs();
  return code;
}

int BufferedDayFile::FlushIfDue() {
  if (clock_.NowMs() - lastFlushTick_ > flushIntervalMs_) return Flush();
  return kWriteOk;
}

DayCheck BufferedDayFile::ChangeDayIfNeeded(const GpsFix& fix) {
  GpsFix local;
  UtcToLocal(fix, &local);
  const int32_t key = DayKey(local);
  if (key == dayKey_) return {};
  DayCheck check;
  if (dayKey_ >= 0) {
    // The pending lines belong to the day that has just ended; kept for it
    // when they cannot be written now.
    check.code = Flush();
    if (check.code != kWriteOk) Spill();
    Reset();
  }
  dayKey_ = key;
  file_.SetFileDate(local.day, local.month, local.year);
  check.newDay = true;
  return check;
}

DayCheck BufferedDayFile::CheckDay(const GpsFix& fix) {
  const int32_t minuteKey = MinuteKey(fix);
  if (minuteKey == lastMinuteKey_) return {};
  const DayCheck check = ChangeDayIfNeeded(fix);
  lastMinuteKey_ = minuteKey;
  minuteDayNumber_ = FixTimeToDays(fix.day, fix.month, 2000u + fix.year, fix.hour, fix.minute, 0);
  return check;
}

}  // namespace pathmere
