#pragma once

#include <cstdint>

namespace pathmere {

// The three bytes that start a sentence, "$" highest.
constexpr uint32_t SentenceStart(const char (&start)[4]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(start[0])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(start[1])) << 8 | static_cast<uint8_t>(start[2]);
}

// GPS receivers: the starts fix processing has always taken.
inline constexpr uint32_t kGpsStarts[] = {SentenceStart("$GP")};
// Receivers that combine GPS with other satellite systems, or use one of
// them alone: GNSS, GLONASS, Galileo, BeiDou (two talkers) and QZSS.
inline constexpr uint32_t kOtherSystemStarts[] = {SentenceStart("$GN"), SentenceStart("$GL"),
                                                  SentenceStart("$GA"), SentenceStart("$GB"),
                                                  SentenceStart("$GQ"), SentenceStart("$BD")};

}  // namespace pathmere
