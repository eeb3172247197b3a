#include "capture/sentence_paths.h"

#include "fix/nmea_checksum.h"
#include "text/c_conversions.h"

namespace pathmere {

void SentencePaths::GpsSide::ProcessSentence(const char* sentence) {
  if (!paths_.gpsRmcSeen_ && HasPrefix(sentence, "$GPRMC,") && VerifyChecksum(sentence) == 0) {
    paths_.gpsRmcSeen_ = true;
  }
  sink_.ProcessSentence(sentence);
  // A receiver may send its RMC with another system's talker ("$GNRMC") and
  // its GGA with GPS's ("$GPGGA"): the second path needs that GGA too.
  if (HasPrefix(sentence, "$GPGGA,")) paths_.otherSide_.ProcessSentence(sentence);
}

void SentencePaths::OtherSide::ProcessSentence(const char* sentence) {
  if (paths_.SecondPathOpen()) sink_.ProcessSentence(sentence);
}

void SentencePaths::Feed(const uint8_t* bytes, int32_t count) {
  if (!SecondPathOpen()) {
    otherSystems_.reset();
    gps_.Feed(bytes, count);
    return;
  }
  if (!otherSystems_) otherSystems_.emplace(otherSide_, kOtherSystemStarts);
  FeedBoth(bytes, count);
}

// Both assemblers see every byte in the same order. They hand sentences on
// only at a line end, so the bytes go to them one line at a time, the GPS
// assembler first: sentences then reach fix processing in the order their
// line ends arrived, and a "$GPRMC" that ends the second path is handled
// before anything of the other systems that ends at the same byte.
void SentencePaths::FeedBoth(const uint8_t* bytes, int32_t count) {
  int32_t at = 0;
  while (at < count) {
    int32_t end = at;
    while (end < count && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    const int32_t length = (end < count ? end + 1 : count) - at;
    gps_.Feed(bytes + at, length);
    at += length;
    if (!SecondPathOpen()) {
      otherSystems_.reset();
      gps_.Feed(bytes + at, count - at);
      return;
    }
    otherSystems_->Feed(bytes + at - length, length);
  }
}

}  // namespace pathmere
