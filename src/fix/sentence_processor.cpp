#include "fix/sentence_processor.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "text/c_conversions.h"
#include "text/decimal_text.h"
#include "fix/fix_time.h"
#include "fix/gga_decoder.h"
#include "fix/nmea_checksum.h"
#include "fix/positions_apart.h"
#include "fix/rmc_decoder.h"
#include "text/fixed_wide_text.h"
#include "text/safe_convert.h"

namespace pathmere {
namespace {

constexpr double kJumpLimitMetres = 300.0;
constexpr double kMergeWindowSeconds = 0.9;

}  // namespace

void SentenceProcessor::ProcessSentence(const char* sentence) {
  flags_.idleTicks = 0;
  if (state.ggaSlot < 0) {
    for (GpsFix& slot : state.ggaFixes) {
      slot.altitude = kUnknownAltitude;
      slot.timeOfDay = kGgaInvalidTime;
    }
    state.currentFix.timeOfDay = kRmcInvalidTime;
    state.currentFix.seconds = kRmcInvalidTime;
    state.ggaSlot = 0;
  }
  if (HasPrefix(sentence, "$GPGGA,")) {
    ProcessGga(sentence);
  } else if (HasPrefix(sentence, "$GPRMC,")) {
    ProcessRmc(sentence);
  }
}

void SentenceProcessor::ProcessGga(const char* sentence) {
  if (VerifyChecksum(sentence) != 0) return;
  // Slots are used 1, 0, 1, 0, ... from the start.
  state.ggaSlot = (state.ggaSlot - 1) & 1;
  GpsFix& slot = state.ggaFixes[state.ggaSlot];
  if (DecodeGga(sentence, &slot) == 0 && ShouldLogSentences()) {
    outputs_.AddNmeaSentence(slot, sentence, 0);
  }
}

void SentenceProcessor::ProcessRmc(const char* sentence) {
  if (VerifyChecksum(sentence) != 0) return;
  if (IsValidFix(state.currentFix)) {
    EvaluateHeldFix();
  } else {
    ShowNoFix();
  }
  if (DecodeRmc(sentence, &state.currentFix) == 0 && ShouldLogSentences()) {
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
      AppendWideCut(state.statusText, FixState::kStatusTextCapacity, L"\r\nDROPPED ");
      log_.ReplaceText(kStatusArea, state.statusText);
    }
  }
}

// The GGA record nearer in time supplies altitude, HDOP and satellites; a tie
// goes to slot 1. No wrap at midnight.
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
  } else {
    fix.altitude = kUnknownAltitude;
    fix.hdop = kUnknownHdop;
    fix.satellites = kUnknownSatellites;
  }
}

// The text is composed only when a status area shows it: a replay without
// one does not pay for a text nobody reads.
void SentenceProcessor::ShowStatus() {
  if (!log_.HasControl(kStatusArea)) return;
  const GpsFix& fix = state.currentFix;
  const GpsFix& local = state.localTime;
  const int32_t s = WholeSecond(fix.seconds);
  // Absurd values can format to hundreds of digits; the text is cut and the
  // status area keeps what fits.
  char scratch[512];
  DecimalText text(scratch, sizeof scratch);
  // "UTC:  %02d.%02d.%02d %02d:%02d:%02d \r\nLocal: %02d.%02d.%02d %02d:%02d:%02d \r\n"
  // "Lat:   %lf \r\nLong: %lf\r\nAlt: " then "%.1lf\r\n" or "???\r\n", then
  // "Speed: %5.1lf km/h. Course: %.1lf\r\nSat: %2d  Hdop: %.1lf "
  text.Append("UTC:  ");
  text.AppendTwoDigitFields(fix.day, fix.month, fix.year, '.');
  text.Append(" ");
  text.AppendTwoDigitFields(fix.hour, fix.minute, s, ':');
  text.Append(" \r\nLocal: ");
  text.AppendTwoDigitFields(local.day, local.month, local.year, '.');
  text.Append(" ");
  text.AppendTwoDigitFields(local.hour, local.minute, s, ':');
  text.Append(" \r\nLat:   ");
  text.AppendFixed(fix.latitude, 6);
  text.Append(" \r\nLong: ");
  text.AppendFixed(fix.longitude, 6);
  text.Append("\r\nAlt: ");
  if (HasAltitude(fix)) {
    text.AppendFixed(fix.altitude, 1);
    text.Append("\r\n");
  } else {
    text.Append("???\r\n");
  }
  text.Append("Speed: ");
  text.AppendFixed(fix.speed, 1, 5);
  text.Append(" km/h. Course: ");
  text.AppendFixed(fix.course, 1);
  text.Append("\r\nSat: ");
  text.AppendInt(fix.satellites, 2);
  text.Append("  Hdop: ");
  text.AppendFixed(fix.hdop, 1);
  text.Append(" ");
  WidenInto(state.statusText, FixState::kStatusTextCapacity, text.View());
  log_.ReplaceText(kStatusArea, state.statusText);
}

// Poor HDOP makes a fix suspect for a bounded run of drops (the rows); beyond
// that, a jump of more than 300 m from the previous fix does, for at most
// three drops in a row.
bool SentenceProcessor::IsSuspect() const {
  const GpsFix& fix = state.currentFix;
  const int32_t drops = state.dropCount;
  if ((fix.hdop > 9.0 && drops < 7) || (fix.hdop > 7.0 && drops < 5) ||
      (fix.hdop > 5.0 && drops < 3) || (fix.hdop > 3.0 && drops < 1)) {
    return true;
  }
  if (drops >= 3) return false;
  return PositionsApart(fix.latitude, fix.longitude, state.lastPositionLatitude,
                        state.lastPositionLongitude, kJumpLimitMetres) != 0;
}

void SentenceProcessor::WriteAcceptedFix() {
  const GpsFix& fix = state.currentFix;
  state.dropCount = 0;

  // A point every 10 s, or about every 50 m above 18 km/h.
  int32_t step = 10;
  if (fix.speed > 18.0) step = TruncateToInt32(180.0 / fix.speed);
  // 64-bit so saturated absurd seconds cannot overflow the sum.
  const int64_t t = static_cast<int64_t>(TruncateToInt32(fix.seconds)) +
                    60LL * (fix.minute + 60LL * (fix.hour + 24LL * fix.day));
  const int64_t elapsed = t - state.lastTrackSecond;
  // Going back in time means a new month or a replay of an older file.
  if (elapsed >= step || elapsed < 0 || flags_.waypointRequested != 0) {
    state.lastTrackSecond = static_cast<int32_t>(t > INT32_MAX ? INT32_MAX : t);
    outputs_.AddTrackPoint(fix);
  }

  outputs_.SelectRoutePoint(fix);

  if (flags_.waypointRequested != 0) {
    flags_.waypointRequested = 0;
    outputs_.SaveWaypoint(fix);
  }
}

void SentenceProcessor::ShowNoFix() {
  const GpsFix& fix = state.currentFix;
  if (HasSeconds(fix) && log_.HasControl(kStatusArea)) {
    // "UTC: %02d:%02d:%02d \r\nNo fix\r\n"
    char scratch[128];
    DecimalText text(scratch, sizeof scratch);
    text.Append("UTC: ");
    text.AppendInt(fix.hour, 2, true);
    text.Append(":");
    text.AppendInt(fix.minute, 2, true);
    text.Append(":");
    text.AppendInt(WholeSecond(fix.seconds), 2, true);
    text.Append(" \r\nNo fix\r\n");
    WidenInto(state.statusText, FixState::kStatusTextCapacity, text.View());
    log_.ReplaceText(kStatusArea, state.statusText);
  }
  if (flags_.waypointRequested != 0) {
    flags_.waypointRequested = 0;
    log_.PostNumbered(state.statusText, FixState::kStatusTextCapacity,
                      "(%u) Waypoint NOT saved! \r\n");
  }
}

}  // namespace pathmere
