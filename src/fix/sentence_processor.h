#pragma once

#include <cstdint>

#include "fix/fix_outputs.h"
#include "fix/gps_fix.h"
#include "fix/replay_state.h"
#include "fix/shared_flags.h"
#include "fix/track_spacing.h"
#include "messages/message_log.h"
#include "settings/settings.h"

namespace pathmere {

// Everything fix processing keeps between sentences.
struct FixState {
  static constexpr int kStatusTextCapacity = 300;  // wide characters, with terminator

  GpsFix currentFix{};                // the RMC fix every writer reads
  GpsFix ggaFixes[2]{};               // the two latest GGA sentences, decoded
  int32_t ggaSlot = -1;               // slot written last; negative before the first sentence
  GpsFix localTime{};                 // local date and time of currentFix
  int32_t localTimeKey = -1;          // UTC minute stamp localTime was computed for
  TrackSpacing trackSpacing;          // which accepted fixes become track points
  double lastPositionLatitude = 0.0;  // position of the previously evaluated fix
  double lastPositionLongitude = 0.0;
  int32_t dropCount = 0;       // consecutive dropped fixes
  int32_t lastDropRun = 0;     // length of the last run of drops that a good fix ended
  uint32_t dropRunsEnded = 0;  // how many such runs there were, wrapping
  wchar_t statusText[kStatusTextCapacity] = {};
  char talker[3] = {};  // whose RMC and GGA are taken; empty until settled
  // The settled talker has sent a GGA since: other talkers' GGA no longer count.
  bool talkerGgaSeen = false;
};

// Whose sentences a fix processing takes.
enum class Talkers {
  // "$GPRMC" and "$GPGGA".
  kGps,
  // RMC and GGA of the other satellite systems' talkers (GN, GL, GA, GB, GQ,
  // BD), read exactly as "$GPRMC" and "$GPGGA", and "$GPGGA" beside them. The
  // first RMC that passes its checksum settles the talker; from then on only
  // that talker's RMC counts. Until then a GGA of any of them is taken, so
  // that the fix the first RMC holds has the GGA sent just before it, as on a
  // GPS receiver; after it too, until the settled talker sends a GGA of its
  // own: a receiver sending "$GNRMC" with "$GPGGA" (or "$GLGGA") has its
  // fixes merged as one sending "$GPRMC" with "$GPGGA". "$GPGGA" comes here
  // only for its values: the GPS fix processing counts and logs it.
  kOtherSystems,
};

// Checks sentences, decodes RMC and GGA, merges them, shows the status text,
// drops implausible fixes and hands accepted ones on, in one visible place.
//
// An RMC sentence is evaluated one sentence late: each arriving RMC first
// evaluates the fix decoded from the previous one, by which time the GGA
// sentences sent just before and just after it are both held.
class SentenceProcessor {
 public:
  SentenceProcessor(SharedFlags& flags, const ReplayState& replay, const Settings& settings, MessageLog& log,
                    FixOutputs& outputs, Talkers talkers = Talkers::kGps);

  // `sentence` begins with "$" and a talker of its kind ("$GP" for GPS), is
  // NUL-terminated and holds no CR or LF.
  void ProcessSentence(const char* sentence);

  FixState state;

 private:
  enum class Kind { kOther, kGga, kRmc };
  Kind KindOf(const char* sentence) const;
  // A "$GPGGA" handed to the other systems' processing for its values.
  bool IsGpsGgaCopy(const char* sentence) const;
  const char* AsGpsSentence(const char* sentence);
  void ProcessGga(const char* sentence);
  void ProcessRmc(const char* sentence);
  void EvaluateHeldFix();
  void ShowNoFix();
  void MergeNearerGga();
  void ShowStatus();
  bool IsSuspect() const;
  void WriteAcceptedFix();
  bool ShouldLogSentences() const { return settings_.enableNmeaLog != 0 && !replay_.IsReplaying(); }

  SharedFlags& flags_;
  const ReplayState& replay_;
  const Settings& settings_;
  MessageLog& log_;
  FixOutputs& outputs_;
  Talkers talkers_;
  // Another talker's sentence with "GP" in its address, for the decoders.
  char gpsCopy_[128] = {};
};

}  // namespace pathmere
