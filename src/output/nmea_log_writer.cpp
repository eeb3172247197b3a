#include "output/nmea_log_writer.h"

#include <cstring>
#include <new>

#include "fix/fix_time.h"
#include "text/decimal_text.h"

namespace pathmere {
namespace {

// No header: the file holds the sentences as received, nothing else.
constexpr DayFileKind kNmeaLogFile{"nmea", HeaderRule::kNone, nullptr};
constexpr char kNoMemoryMessage[] = "(%u) No memory for NMEA-buffer! \r\n";

}  // namespace

char* NmeaLogWriter::HeapAllocate(size_t size) { return new (std::nothrow) char[size]; }

void NmeaLogWriter::HeapRelease(char* block) { delete[] block; }

NmeaLogWriter::NmeaLogWriter(FileSystem& files, TickClock& clock, MessageLog& log, AllocateBlock allocate,
                             ReleaseBlock release)
    : BufferedWriter(files, clock, log, kNmeaLogFile, kFlushIntervalMs),
      allocate_(allocate),
      release_(release) {}

NmeaLogWriter::~NmeaLogWriter() {
  if (block_ != nullptr) release_(block_);
}

// File line: the sentence from its "$" as received, then "\r\n". No header.
int NmeaLogWriter::AddSentence(const GpsFix& fix, const char* sentence, bool dated) {
  const size_t length = strnlen(sentence, kLongestSentence + 1);
  if (length > kLongestSentence) return kSentenceTooLong;

  if (!output_.lines().HasArea()) {
    block_ = allocate_(kBlockSize);
    if (block_ == nullptr) {
      output_.file().Post(kNoMemoryMessage);  // the next sentence tries again
      return kNoMemory;
    }
    output_.lines().Attach(block_, kBlockSize);
  }

  int result = kWriteOk;
  if (fill() > kFlushLimit - static_cast<int32_t>(length)) result = output_.FlushToMakeRoom();
  if (dated) minuteKey_ = MinuteKey(fix);
  if (minuteKey_ == -2) return kNoDateYet;  // no day to put it in yet
  if (dated && minuteKey_ != output_.lastMinuteKey()) {
    result |= output_.ChangeDayIfNeeded(fix).code;
    output_.SetLastMinuteKey(minuteKey_);
  }
  output_.lines().Add([&](char* buffer, size_t capacity) {
    DecimalText text(buffer, capacity);
    text.Append(std::string_view(sentence, length));
    text.Append("\r\n");
    return text.cut() ? 0 : text.size();
  });
  result |= output_.FlushIfDue();
  return result;
}

}  // namespace pathmere
