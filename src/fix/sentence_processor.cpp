#include "fix/sentence_processor.h"

#include <cmath>
#include <cstring>

#include "fix/fix_time.h"
#include "fix/gga_decoder.h"
#include "fix/nmea_checksum.h"
#include "fix/positions_apart.h"
#include "fix/rmc_decoder.h"
#include "fix/status_text.h"
#include "fix/talkers.h"
#include "text/c_conversions.h"

namespace pathmere {
namespace {

constexpr double kJumpLimitMetres = 300.0;
constexpr double kMergeWindowSeconds = 0.9;

bool HasOtherSystemTalker(const char* sentence) {
  if (sentence[0] == '\0' || sentence[1] == '\0' || sentence[2] == '\0') return false;
  const uint32_t start = static_cast<uint32_t>(static_cast<uint8_t>(sentence[0])) << 16 |
                         static_cast<uint32_t>(static_cast<uint8_t>(sentence[1])) << 8 |
                         static_cast<uint8_t>(sentence[2]);
  for (const uint32_t known : kOtherSystemStarts) {
    if (start == known) return true;
  }
  return false;
}

}  // namespace

SentenceProcessor::SentenceProcessor(SharedFlags& flags, const ReplayState& replay, const Settings& settings,
                                     MessageLog& log, FixOutputs& outputs, Talkers talkers)
    : flags_(flags), replay_(replay), settings_(settings), log_(log), outputs_(outputs), talkers_(talkers) {
  if (talkers_ == Talkers::kGps) std::memcpy(state.talker, "GP", 3);
}

void SentenceProcessor::ProcessSentence(const char* sentence) {
  if (!IsGpsGgaCopy(sentence)) {
    flags_.idleTicks = 0;
    ++flags_.sentencesSeen;
  }
  if (state.ggaSlot < 0) {
    for (GpsFix& slot : state.ggaFixes) {
      slot.altitude = kUnknownAltitude;
      slot.timeOfDay = kGgaInvalidTime;
    }
    state.currentFix.timeOfDay = kRmcInvalidTime;
    state.currentFix.seconds = kRmcInvalidTime;
    state.ggaSlot = 0;
  }
  switch (KindOf(sentence)) {
    case Kind::kGga:
      ProcessGga(sentence);
      break;
    case Kind::kRmc:
      ProcessRmc(sentence);
      break;
    case Kind::kOther:
      break;
  }
}

SentenceProcessor::Kind SentenceProcessor::KindOf(const char* sentence) const {
  if (talkers_ == Talkers::kGps) {
    if (HasPrefix(sentence, "$GPGGA,")) return Kind::kGga;
    if (HasPrefix(sentence, "$GPRMC,")) return Kind::kRmc;
    return Kind::kOther;
  }
  // Longer text than an assembler hands on would not fit the copy the
  // decoders read.
  const bool gpsGga = IsGpsGgaCopy(sentence);
  if ((!gpsGga && !HasOtherSystemTalker(sentence)) || strnlen(sentence, sizeof gpsCopy_) >= sizeof gpsCopy_) {
    return Kind::kOther;
  }
  const bool settled = state.talker[0] != '\0';
  const bool ownTalker = !settled || (sentence[1] == state.talker[0] && sentence[2] == state.talker[1]);
  if (HasPrefix(sentence + 3, "GGA,")) return ownTalker || !state.talkerGgaSeen ? Kind::kGga : Kind::kOther;
  if (ownTalker && HasPrefix(sentence + 3, "RMC,")) return Kind::kRmc;
  return Kind::kOther;
}

bool SentenceProcessor::IsGpsGgaCopy(const char* sentence) const {
  return talkers_ == Talkers::kOtherSystems && HasPrefix(sentence, "$GPGGA,");
}

// The decoders read "$GPRMC," and "$GPGGA,"; another talker's sentence has
// the very same fields after its address.
const char* SentenceProcessor::AsGpsSentence(const char* sentence) {
  if (talkers_ == Talkers::kGps) return sentence;
  std::memcpy(gpsCopy_, sentence, strnlen(sentence, sizeof gpsCopy_ - 1) + 1);
  gpsCopy_[1] = 'G';
  gpsCopy_[2] = 'P';
  return gpsCopy_;
}

void SentenceProcessor::ProcessGga(const char* sentence) {
  if (VerifyChecksum(sentence) != 0) return;
  if (state.talker[0] != '\0' && sentence[1] == state.talker[0] && sentence[2] == state.talker[1]) {
    state.talkerGgaSeen = true;
  }
  // Slots are used 1, 0, 1, 0, ... from the start.
  state.ggaSlot = (state.ggaSlot - 1) & 1;
  GpsFix& slot = state.ggaFixes[state.ggaSlot];
  if (DecodeGga(AsGpsSentence(sentence), &slot) == 0 && ShouldLogSentences() && !IsGpsGgaCopy(sentence)) {
    outputs_.AddNmeaSentence(slot, sentence, 0);
  }
}

void SentenceProcessor::ProcessRmc(const char* sentence) {
  if (VerifyChecksum(sentence) != 0) return;
  if (state.talker[0] == '\0') {
    state.talker[0] = sentence[1];
    state.talker[1] = sentence[2];
  }
  if (IsValidFix(state.currentFix)) {
    EvaluateHeldFix();
  } else {
    ShowNoFix();
  }
  if (DecodeRmc(AsGpsSentence(sentence), &state.currentFix) == 0 && ShouldLogSentences()) {
    outputs_.AddNmeaSentence(state.currentFix, sentence, 1);
  }
}

void SentenceProcessor::EvaluateHeldFix() {
  GpsFix& fix = state.currentFix;
  MergeNearerGga();

  // Local time changes only with the UTC minute, so convert once per minute.
  const int32_t minuteKey = MinuteKey(fix);
  if (minuteKey != state.localTimeKey) {
    state.localTimeKey = minuteKey;
    UtcToLocal(fix, &state.localTime);
  }

  ShowStatus();
  const bool suspect = IsSuspect();
  state.lastPositionLatitude = fix.latitude;
  state.lastPositionLongitude = fix.longitude;

  // A pending waypoint overrides the filter once something was dropped, so a
  // user standing in bad reception still gets the mark.
  const bool accepted = (flags_.waypointRequested != 0 && state.dropCount > 0) || !suspect;
  if (accepted) {
    WriteAcceptedFix();
  } else {
    ++state.dropCount;
    if (log_.HasControl(kStatusArea)) {
      MarkDropped(state.statusText, FixState::kStatusTextCapacity);
      log_.ReplaceText(kStatusArea, state.statusText);
    }
  }
}

// The GGA record nearer in time supplies altitude, HDOP, satellites and the
// fix quality; a tie goes to slot 1. No wrap at midnight.
void SentenceProcessor::MergeNearerGga() {
  GpsFix& fix = state.currentFix;
  const double d0 = std::fabs(state.ggaFixes[0].timeOfDay - fix.timeOfDay);
  const double d1 = std::fabs(state.ggaFixes[1].timeOfDay - fix.timeOfDay);
  const int chosen = d0 < d1 ? 0 : 1;
  const double distance = chosen == 0 ? d0 : d1;
  if (distance < kMergeWindowSeconds) {
    fix.altitude = state.ggaFixes[chosen].altitude;
    fix.hdop = state.ggaFixes[chosen].hdop;
    fix.satellites = state.ggaFixes[chosen].satellites;
    fix.fixQuality = state.ggaFixes[chosen].fixQuality;
  } else {
    fix.altitude = kUnknownAltitude;
    fix.hdop = kUnknownHdop;
    fix.satellites = kUnknownSatellites;
    fix.fixQuality = kUnknownFixQuality;
  }
}

// The text is composed only when a status area shows it: a replay without
// one does not pay for a text nobody reads.
void SentenceProcessor::ShowStatus() {
  if (!log_.HasControl(kStatusArea)) return;
  ComposeFixStatus(state.currentFix, state.localTime, state.statusText, FixState::kStatusTextCapacity);
  log_.ReplaceText(kStatusArea, state.statusText);
}

// Poor HDOP makes a fix suspect for a bounded run of drops (the rows); beyond
// that, a jump of more than 300 m from the previous fix does, for at most
// three drops in a row.
bool SentenceProcessor::IsSuspect() const {
  const GpsFix& fix = state.currentFix;
  const int32_t drops = state.dropCount;
  if ((fix.hdop > 9.0 && drops < 7) || (fix.hdop > 7.0 && drops < 5) || (fix.hdop > 5.0 && drops < 3) ||
      (fix.hdop > 3.0 && drops < 1)) {
    return true;
  }
  if (drops >= 3) return false;
  return PositionsApart(fix.latitude, fix.longitude, state.lastPositionLatitude, state.lastPositionLongitude,
                        kJumpLimitMetres) != 0;
}

void SentenceProcessor::WriteAcceptedFix() {
  const GpsFix& fix = state.currentFix;
  if (state.dropCount > 0) {
    state.lastDropRun = state.dropCount;
    ++state.dropRunsEnded;
  }
  state.dropCount = 0;

  if (state.trackSpacing.TakePoint(fix, flags_.waypointRequested != 0)) outputs_.AddTrackPoint(fix);

  outputs_.SelectRoutePoint(fix);

  if (flags_.waypointRequested != 0) {
    flags_.waypointRequested = 0;
    outputs_.SaveWaypoint(fix);
  }
}

void SentenceProcessor::ShowNoFix() {
  const GpsFix& fix = state.currentFix;
  if (HasSeconds(fix) && log_.HasControl(kStatusArea)) {
    ComposeNoFixStatus(fix, state.statusText, FixState::kStatusTextCapacity);
    log_.ReplaceText(kStatusArea, state.statusText);
  }
  if (flags_.waypointRequested != 0) {
    flags_.waypointRequested = 0;
    log_.PostNumbered(state.statusText, FixState::kStatusTextCapacity, "(%u) Waypoint NOT saved! \r\n");
  }
}

}  // namespace pathmere
