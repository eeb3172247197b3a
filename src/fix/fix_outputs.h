#pragma once

#include "fix/gps_fix.h"

namespace pathmere {

// Where fix processing hands accepted fixes and logged sentences. The program
// wires these to the track writer, route point selection, waypoint writer and
// NMEA log; tests record the calls.
class FixOutputs {
 public:
  virtual ~FixOutputs() = default;
  virtual void AddTrackPoint(const GpsFix& fix) = 0;
  virtual void SelectRoutePoint(const GpsFix& fix) = 0;
  virtual void SaveWaypoint(const GpsFix& fix) = 0;
  // `dated` is 1 for an RMC sentence (the fix carries its date), 0 for GGA.
  virtual void AddNmeaSentence(const GpsFix& fix, const char* sentence, int dated) = 0;
};

}  // namespace pathmere
