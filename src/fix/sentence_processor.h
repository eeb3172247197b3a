#pragma once

#include <cstdint>

#include "capture/capture_state.h"
#include "fix/fix_outputs.h"
#include "fix/gps_fix.h"
#include "fix/shared_flags.h"
#include "fix/track_spacing.h"
#include "messages/message_log.h"
#include "settings/settings.h"

namespace pathmere {

// Everything fix processing keeps between sentences.
struct FixState {
  static constexpr int kStatusTextCapacity = 300;  // wide characters, with terminator

  GpsFix currentFix{};      // the RMC fix every writer reads
  GpsFix ggaFixes[2]{};     // the two latest GGA sentences, decoded
  int32_t ggaSlot = -1;     // slot written last; negative before the first sentence
  GpsFix localTime{};       // local date and time of currentFix
  int32_t localTimeKey = -1;       // UTC minute stamp localTime was computed for
  TrackSpacing trackSpacing;       // which accepted fixes become track points
  double lastPositionLatitude = 0.0;   // position of the previously evaluated fix
  double lastPositionLongitude = 0.0;
  int32_t dropCount = 0;           // consecutive dropped fixes
  int32_t lastDropRun = 0;         // length of the last run of drops that a good fix ended
  uint32_t dropRunsEnded = 0;      // how many such runs there were, wrapping
  wchar_t statusText[kStatusTextCapacity] = {};
};

// Checks sentences, decodes RMC and GGA, merges them, shows the status text,
// drops implausible fixes and hands accepted ones on, in one visible place.
//
// An RMC sentence is evaluated one sentence late: each arriving RMC first
// evaluates the fix decoded from the previous one, by which time the GGA
// sentences sent just before and just after it are both held.
class SentenceProcessor {
 public:
  SentenceProcessor(SharedFlags& flags, const CaptureState& capture, const Settings& settings,
                    MessageLog& log, FixOutputs& outputs)
      : flags_(flags), capture_(capture), settings_(settings), log_(log), outputs_(outputs) {}

  // `sentence` begins with "$GP", is NUL-terminated and holds no CR or LF.
  void ProcessSentence(const char* sentence);

  FixState state;

 private:
  void ProcessGga(const char* sentence);
  void ProcessRmc(const char* sentence);
  void EvaluateHeldFix();
  void ShowNoFix();
  void MergeNearerGga();
  void ShowStatus();
  bool IsSuspect() const;
  void WriteAcceptedFix();
  bool ShouldLogSentences() const { return settings_.enableNmeaLog != 0 && !capture_.IsReplaying(); }

  SharedFlags& flags_;
  const CaptureState& capture_;
  const Settings& settings_;
  MessageLog& log_;
  FixOutputs& outputs_;
};

}  // namespace pathmere
