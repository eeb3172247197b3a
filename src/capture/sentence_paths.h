#pragma once

#include <cstdint>
#include <optional>

#include "capture/sentence_assembler.h"
#include "settings/settings.h"

namespace pathmere {

// The receiver's bytes go two ways. The GPS assembler cuts the "$GP"
// sentences that fix processing has always taken. A second assembler cuts
// the other satellite systems' sentences ("$GN", "$GL", ...) from the same
// bytes, in the same order, for a second fix processing: the "second path".
// It lasts only until the first "$GPRMC" of the run passes its checksum, and
// is shut while "GpsOnly" is set, so a receiver that sends GPS sentences is
// read exactly as one of GPS alone, while one that sends only "$GN..." still
// gives fixes. While it is open, "$GPGGA" goes to both fix processings (the
// GPS one first), for receivers that mix "$GNRMC" with "$GPGGA".
class SentencePaths final : public ReceiverInput {
 public:
  SentencePaths(const Settings& settings, SentenceSink& gps, SentenceSink& otherSystems)
      : settings_(settings), gpsSide_(*this, gps), otherSide_(*this, otherSystems), gps_(gpsSide_) {}
  SentencePaths(const SentencePaths&) = delete;
  SentencePaths& operator=(const SentencePaths&) = delete;

  void Feed(const uint8_t* bytes, int32_t count) override;

  // Whether other systems' sentences are handed on: until a "$GPRMC"
  // passes its checksum (for the rest of the run), and not while "GpsOnly".
  bool SecondPathOpen() const { return !gpsRmcSeen_ && settings_.gpsOnly == 0; }

 private:
  class GpsSide final : public SentenceSink {
   public:
    GpsSide(SentencePaths& paths, SentenceSink& sink) : paths_(paths), sink_(sink) {}
    void ProcessSentence(const char* sentence) override;

   private:
    SentencePaths& paths_;
    SentenceSink& sink_;
  };
  class OtherSide final : public SentenceSink {
   public:
    OtherSide(SentencePaths& paths, SentenceSink& sink) : paths_(paths), sink_(sink) {}
    void ProcessSentence(const char* sentence) override;

   private:
    SentencePaths& paths_;
    SentenceSink& sink_;
  };

  void FeedBoth(const uint8_t* bytes, int32_t count);

  const Settings& settings_;
  GpsSide gpsSide_;
  OtherSide otherSide_;
  SentenceAssembler gps_;
  // Made afresh whenever the second path opens, so bytes from before it was
  // shut cannot begin a sentence.
  std::optional<SentenceAssembler> otherSystems_;
  bool gpsRmcSeen_ = false;
};

}  // namespace pathmere
