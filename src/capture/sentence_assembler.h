#pragma once

#include <cstdint>

namespace pathmere {

// What receives each complete sentence: NUL-terminated, begins with "$GP",
// holds no CR or LF.
class SentenceSink {
 public:
  virtual ~SentenceSink() = default;
  virtual void ProcessSentence(const char* sentence) = 0;
};

// Cuts a byte stream into sentences that begin with "$GP" and end at CR or
// LF. Never reset from outside: a sentence cut off at the end of a replayed
// file is continued by the next bytes from the port.
class SentenceAssembler {
 public:
  static constexpr int kMaxSentenceLength = 126;  // from "$" to the last byte before the line end

  explicit SentenceAssembler(SentenceSink& sink) : sink_(sink) {}

  // The rule, one byte at a time.
  void FeedByte(uint8_t c);
  // The same rule over a block: hands on exactly the sentences that feeding
  // each byte to FeedByte in turn would, but looks for "$" with memchr while
  // idle and copies a sentence's bytes in one tight loop.
  void Feed(const uint8_t* bytes, int32_t count);

 private:
  void StartSentence();

  SentenceSink& sink_;
  char sentenceBuffer_[128] = {};
  int32_t inSentence_ = 0;
  uint32_t lastBytes_ = 0;  // every byte shifted in from the right
  int8_t sentenceLength_ = 0;
};

}  // namespace pathmere
