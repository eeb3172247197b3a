#pragma once

#include <cstdint>
#include <span>

#include "fix/talkers.h"

namespace pathmere {

// What receives each complete sentence: NUL-terminated, begins with one of
// its assembler's starts, holds no CR or LF.
class SentenceSink {
 public:
  virtual ~SentenceSink() = default;
  virtual void ProcessSentence(const char* sentence) = 0;
};

// Where the capture step hands the bytes it read, in order.
class ReceiverInput {
 public:
  virtual ~ReceiverInput() = default;
  virtual void Feed(const uint8_t* bytes, int32_t count) = 0;
};

// Cuts a byte stream into sentences that begin with one of `starts` ("$GP"
// unless told otherwise) and end at CR or LF. Never reset from outside: a
// sentence cut off at the end of a replayed file is continued by the next
// bytes from the port.
class SentenceAssembler final : public ReceiverInput {
 public:
  static constexpr int kMaxSentenceLength = 126;  // from "$" to the last byte before the line end

  explicit SentenceAssembler(SentenceSink& sink, std::span<const uint32_t> starts = kGpsStarts)
      : sink_(sink), starts_(starts) {}

  // The rule, one byte at a time.
  void FeedByte(uint8_t c);
  // The same rule over a block: hands on exactly the sentences that feeding
  // each byte to FeedByte in turn would, but looks for "$" with memchr while
  // idle and copies a sentence's bytes in one tight loop.
  void Feed(const uint8_t* bytes, int32_t count) override;

 private:
  bool IsStart(uint32_t lastThree) const {
    for (const uint32_t start : starts_) {
      if (lastThree == start) return true;
    }
    return false;
  }
  void StartSentence(uint32_t start);

  SentenceSink& sink_;
  std::span<const uint32_t> starts_;
  char sentenceBuffer_[128] = {};
  int32_t inSentence_ = 0;
  uint32_t lastBytes_ = 0;  // every byte shifted in from the right
  int8_t sentenceLength_ = 0;
};

}  // namespace pathmere
