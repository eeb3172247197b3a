#include "capture/sentence_assembler.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pathmere {
namespace {

constexpr uint8_t kCR = 0x0D;
constexpr uint8_t kLF = 0x0A;

// A mask with the top bit set in the lowest byte of the eight at `p` that is
// CR, LF or "$" (higher bits may be set too), 0 when there is none. Only on
// little-endian machines does the lowest bit stand for the first byte;
// elsewhere every word is reported as holding one at once, which leaves the
// work to the byte-by-byte path.
uint64_t SpecialBytes(const uint8_t* p) {
  if constexpr (std::endian::native != std::endian::little) return 1;
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHighs = 0x8080808080808080ULL;
  const auto zeroByte = [](uint64_t v) { return (v - kOnes) & ~v & kHighs; };
  return zeroByte(word ^ (kOnes * kCR)) | zeroByte(word ^ (kOnes * kLF)) | zeroByte(word ^ (kOnes * '$'));
}

#if defined(__SSE2__)
// The same for sixteen bytes, one bit per byte, lowest bit first; the bytes
// are copied to `to` whatever they hold.
uint32_t CopySpecialBytes16(const uint8_t* p, char* to) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), v);
  const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(kCR))),
                                                 _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(kLF)))),
                                    _mm_cmpeq_epi8(v, _mm_set1_epi8('$')));
  return static_cast<uint32_t>(_mm_movemask_epi8(hits));
}
#endif

uint32_t Three(uint8_t a, uint8_t b, uint8_t c) {
  return static_cast<uint32_t>(a) << 16 | static_cast<uint32_t>(b) << 8 | c;
}

}  // namespace

void SentenceAssembler::StartSentence(uint32_t start) {
  sentenceBuffer_[0] = static_cast<char>(start >> 16);
  sentenceBuffer_[1] = static_cast<char>(start >> 8);
  sentenceBuffer_[2] = static_cast<char>(start);
  sentenceLength_ = 3;
  inSentence_ = 1;
}

void SentenceAssembler::FeedByte(uint8_t c) {
  lastBytes_ = (lastBytes_ << 8) | c;
  const uint32_t lastThree = lastBytes_ & 0xFFFFFF;
  const bool sawStart = IsStart(lastThree);
  if (inSentence_ == 0) {
    if (sawStart) StartSentence(lastThree);
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
  if (sawStart) {
    // A lost line end: the unfinished sentence is dropped.
    StartSentence(lastThree);
    return;
  }
  sentenceBuffer_[sentenceLength_] = static_cast<char>(c);
  if (++sentenceLength_ > kMaxSentenceLength) {
    // Too long to be NMEA; skip to the next start.
    inSentence_ = 0;
    sentenceLength_ = 0;
  }
}

void SentenceAssembler::Feed(const uint8_t* bytes, int32_t count) {
  if (count <= 0) return;
  // A start may have begun in the previous block: the first two bytes go
  // through the byte rule, which sees the bytes before them. From then on
  // the two bytes before any position lie in this block.
  const int32_t head = count < 2 ? count : 2;
  for (int32_t i = 0; i < head; ++i) FeedByte(bytes[i]);
  int32_t i = head;
  while (i < count) {
    if (inSentence_ == 0) {
      // Idle: the next start whose last byte is at i or later; its "$" may
      // be as far back as i - 2.
      int32_t from = i - 2;
      i = count;
      while (from < count - 2) {
        const auto* dollar = static_cast<const uint8_t*>(
            std::memchr(bytes + from, '$', static_cast<size_t>(count - 2 - from)));
        if (dollar == nullptr) break;
        const auto at = static_cast<int32_t>(dollar - bytes);
        const uint32_t three = Three(dollar[0], dollar[1], dollar[2]);
        if (IsStart(three)) {
          StartSentence(three);
          i = at + 3;
          break;
        }
        from = at + 1;
      }
      continue;
    }
    // Collecting: the same three cases as FeedByte, in the same order.
    int32_t length = sentenceLength_;
    while (i < count) {
      // Sixteen or eight bytes at a time while none of them can end the
      // sentence, start a new one or overflow it: no CR, LF or "$" among
      // them, and no "$" just before them whose start they could complete.
      // Within such a run no byte is "$", so only its start needs the look
      // back.
      if (bytes[i - 1] != '$' && bytes[i - 2] != '$') {
        // Each block is copied whole before it is looked at: bytes from the
        // first special one on are overwritten later or lie past the end.
        int32_t plain = 0;
        bool found = false;
#if defined(__SSE2__)
        while (i + plain + 16 <= count && length + plain + 16 <= kMaxSentenceLength) {
          const uint32_t special = CopySpecialBytes16(bytes + i + plain, sentenceBuffer_ + length + plain);
          if (special != 0) {
            plain += std::countr_zero(special);
            found = true;
            break;
          }
          plain += 16;
        }
#endif
        while (!found && i + plain + 8 <= count && length + plain + 8 <= kMaxSentenceLength) {
          std::memcpy(sentenceBuffer_ + length + plain, bytes + i + plain, 8);
          const uint64_t special = SpecialBytes(bytes + i + plain);
          if (special != 0) {
            plain += std::countr_zero(special) / 8;
            break;
          }
          plain += 8;
        }
        length += plain;
        i += plain;
        if (i == count) break;
      }
      const uint8_t c = bytes[i];
      if (c == kCR || c == kLF) {
        sentenceBuffer_[length] = '\0';
        inSentence_ = 0;
        ++i;
        sink_.ProcessSentence(sentenceBuffer_);
        break;
      }
      if (bytes[i - 2] == '$' && IsStart(Three(bytes[i - 2], bytes[i - 1], c))) {
        StartSentence(Three(bytes[i - 2], bytes[i - 1], c));
        length = sentenceLength_;
        ++i;
        continue;
      }
      sentenceBuffer_[length] = static_cast<char>(c);
      ++i;
      if (++length > kMaxSentenceLength) {
        inSentence_ = 0;
        break;
      }
    }
    sentenceLength_ = static_cast<int8_t>(inSentence_ != 0 ? length : 0);
  }
  // Only the last bytes matter for the next block's start.
  for (int32_t j = count - 4 > head ? count - 4 : head; j < count; ++j) {
    lastBytes_ = (lastBytes_ << 8) | bytes[j];
  }
}

}  // namespace pathmere
