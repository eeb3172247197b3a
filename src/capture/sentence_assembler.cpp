#include "capture/sentence_assembler.h"

#include <cstring>

namespace pathmere {
namespace {

constexpr uint32_t kDollarGP = 0x244750;  // "$GP", "$" highest
constexpr uint8_t kCR = 0x0D;
constexpr uint8_t kLF = 0x0A;

}  // namespace

void SentenceAssembler::StartSentence() {
  std::memcpy(sentenceBuffer_, "$GP", 3);
  sentenceLength_ = 3;
  inSentence_ = 1;
}

void SentenceAssembler::FeedByte(uint8_t c) {
  lastBytes_ = (lastBytes_ << 8) | c;
  const bool sawDollarGP = (lastBytes_ & 0xFFFFFF) == kDollarGP;
  if (inSentence_ == 0) {
    if (sawDollarGP) StartSentence();
    return;
  }
  if (c == kCR || c == kLF) {
    // A LF after CR finds the assembler idle and is skipped.
    sentenceBuffer_[sentenceLength_] = '\0';
    inSentence_ = 0;
    sentenceLength_ = 0;
    sink_.ProcessSentence(sentenceBuffer_);
    return;
  }
  if (sawDollarGP) {
    // A lost line end: the unfinished sentence is dropped.
    StartSentence();
    return;
  }
  sentenceBuffer_[sentenceLength_] = static_cast<char>(c);
  if (++sentenceLength_ > kMaxSentenceLength) {
    // Too long to be NMEA; skip to the next "$GP".
    inSentence_ = 0;
    sentenceLength_ = 0;
  }
}

}  // namespace pathmere
