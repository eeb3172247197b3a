#include "output/buffered_day_file_writer.h"

#include <cstdarg>
#include <cstdio>

#include "fix/fix_time.h"

namespace pathmere {

BufferedDayFileWriter::BufferedDayFileWriter(FileSystem& files, TickClock& clock, MessageLog& log,
                                             const char* extension, HeaderRule headerRule,
                                             char* headerScratch, uint32_t flushIntervalMs)
    : DayFile(files, log, extension, headerRule, headerScratch),
      clock_(clock),
      flushIntervalMs_(flushIntervalMs) {
  // A whole batch of lines goes out in one write; a power cut can cut it.
  StartNewLinesOnTheirOwnLine();
}

void BufferedDayFileWriter::AttachDataArea(char* data, size_t capacity) {
  data_ = data;
  capacity_ = capacity;
  Reset();
}

void BufferedDayFileWriter::Reset() {
  fill_ = 0;
  if (data_ != nullptr) data_[0] = '\0';
  lastMinuteKey_ = -1;
}

int BufferedDayFileWriter::Flush() {
  if (fill_ == 0) {
    Reset();
    lastFlushTick_ = clock_.NowMs();
    return kWriteOk;
  }
  const int code = WriteToDayFile(data_, static_cast<uint32_t>(fill_));
  if (code != kWriteOk) return code;
  Reset();
  lastFlushTick_ = clock_.NowMs();
  return kWriteOk;
}

int BufferedDayFileWriter::FlushToMakeRoom() {
  const int code = Flush();
  Reset();
  lastFlushTick_ = clock_.NowMs();
  return code;
}

int BufferedDayFileWriter::ChangeDayIfNeeded(const GpsFix& fix) {
  GpsFix local;
  UtcToLocal(fix, &local);
  const int32_t key = DayKey(local);
  if (key == dayKey_) return kWriteOk;
  int code = kWriteOk;
  if (dayKey_ >= 0) {
    // The pending lines belong to the day that has just ended.
    code = Flush();
    Reset();
  }
  dayKey_ = key;
  SetFileDate(local.day, local.month, local.year);
  OnNewDay(fix);
  return code;
}

void BufferedDayFileWriter::OnNewDay(const GpsFix&) {}

int BufferedDayFileWriter::CheckDay(const GpsFix& fix) {
  const int32_t minuteKey = MinuteKey(fix);
  if (minuteKey == lastMinuteKey_) return kWriteOk;
  const int code = ChangeDayIfNeeded(fix);
  lastMinuteKey_ = minuteKey;
  minuteDayNumber_ = FixTimeToDays(fix.day, fix.month, 2000u + fix.year, fix.hour, fix.minute, 0);
  return code;
}

bool BufferedDayFileWriter::AppendFormatted(const char* format, ...) {
  if (data_ == nullptr) return false;
  const size_t room = capacity_ - static_cast<size_t>(fill_);
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(data_ + fill_, room, format, args);
  va_end(args);
  if (length < 0 || static_cast<size_t>(length) >= room) {
    data_[fill_] = '\0';  // drop the cut text
    return false;
  }
  fill_ += length;
  return true;
}

int BufferedDayFileWriter::FlushIfDue() {
  if (clock_.NowMs() - lastFlushTick_ > flushIntervalMs_) return Flush();
  return kWriteOk;
}

}  // namespace pathmere
