#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fix/gps_fix.h"
#include "output/buffered_writer.h"

namespace pathmere {

// The day's raw log (".nmea") of the RMC and GGA sentences that decoded, one
// per line exactly as received, so the program can replay it later. The
// 32 KiB block is taken from the heap at the first sentence, so a program
// that never logs never holds it, and kept until the writer is destroyed.
class NmeaLogWriter final : public BufferedWriter {
 public:
  static constexpr size_t kBlockSize = 32768;
  static constexpr size_t kLongestSentence = 300;
  // Room kept free by the flush before adding: the sentence, "\r\n", NUL.
  static constexpr int32_t kFlushLimit = 32758;
  static constexpr uint32_t kFlushIntervalMs = 300000;

  using AllocateBlock = char* (*)(size_t size);
  using ReleaseBlock = void (*)(char* block);
  static char* HeapAllocate(size_t size);
  static void HeapRelease(char* block);

  // `allocate` may return null; tests use that for an exhausted heap.
  NmeaLogWriter(FileSystem& files, TickClock& clock, MessageLog& log, AllocateBlock allocate = HeapAllocate,
                ReleaseBlock release = HeapRelease);
  // Releases the block; whatever is pending is not written.
  ~NmeaLogWriter();
  NmeaLogWriter(const NmeaLogWriter&) = delete;
  NmeaLogWriter& operator=(const NmeaLogWriter&) = delete;

  // Logs one sentence (NUL-terminated, without line end). `dated` marks an
  // RMC sentence, whose fix carries the date and decides the day; a GGA
  // sentence goes to the day of the last RMC sentence. Returns 0, 100 for a
  // sentence over 300 characters, 101 before the first dated sentence, 10
  // when there is no memory for the block, or the OR of the failed flushes.
  int AddSentence(const GpsFix& fix, const char* sentence, bool dated);

  // Minute key of the last RMC sentence; -2 before the first.
  int32_t minuteKey() const { return minuteKey_; }

 private:
  AllocateBlock allocate_;
  ReleaseBlock release_;
  char* block_ = nullptr;
  int32_t minuteKey_ = -2;
};

}  // namespace pathmere
