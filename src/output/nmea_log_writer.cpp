#include "output/nmea_log_writer.h"

#include <cstring>
#include <new>

namespace pathmere {
namespace {

constexpr char kNoMemoryMessage[] = "(%u) No memory for NMEA-buffer! \r\n";

}  // namespace

char* NmeaLogWriter::HeapAllocate(size_t size) { return new (std::nothrow) char[size]; }

void NmeaLogWriter::HeapRelease(char* block) { delete[] block; }

NmeaLogWriter::NmeaLogWriter(FileSystem& files, TickClock& clock, MessageLog& log, AllocateBlock allocate,
                             ReleaseBlock release)
    : BufferedDayFileWriter(files, clock, log, "nmea", HeaderRule::kNone, nullptr, kFlushIntervalMs),
      allocate_(allocate),
      release_(release) {}

NmeaLogWriter::~NmeaLogWriter() {
  if (block_ != nullptr) release_(block_);
}

// File line: the sentence from its "$" as received, then "\r\n". No header.
int NmeaLogWriter::AddSentence(const GpsFix& fix, const char* sentence, bool dated) {
  const size_t length = strnlen(sentence, kLongestSentence + 1);
  if (length > kLongestSentence) return kSentenceTooLong;

  if (!HasDataArea()) {
    block_ = allocate_(kBlockSize);
    if (block_ == nullptr) {
      Post(kNoMemoryMessage);  // the next sentence tries again
      return kNoMemory;
    }
    AttachDataArea(block_, kBlockSize);
  }

  int result = kWriteOk;
  if (fill() > kFlushLimit - static_cast<int32_t>(length)) result = FlushToMakeRoom();
  if (dated) minuteKey_ = MinuteKey(fix);
  if (minuteKey_ == -2) return kNoDateYet;  // no day to put it in yet
  if (dated && minuteKey_ != lastMinuteKey()) {
    result |= ChangeDayIfNeeded(fix);
    SetLastMinuteKey(minuteKey_);
  }
  AppendFormatted("%.*s\r\n", static_cast<int>(length), sentence);
  result |= FlushIfDue();
  return result;
}

}  // namespace pathmere
