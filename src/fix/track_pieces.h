#pragma once

namespace pathmere {

// Where a day's track is broken into pieces: the track view starts a new
// line there, the GPX file a new <trkseg>. Points further apart than this
// belong to separate pieces (the receiver lost its fix, or the logger did
// not run).
inline constexpr double kTrackBreakSeconds = 180.0;

// Whether a point starts a new piece. `first`: nothing before it in this
// piece's run (the day's first point, or the first since the logger started
// again). A point earlier than the one before it (a clock set back, two runs
// in one file) breaks the track as a long gap does. Times taken from day
// numbers are off by far less than a millisecond: exactly 180 s is no gap.
inline bool StartsTrackPiece(bool first, double secondsAfterPrevious) {
  constexpr double kTimeNoise = 0.001;
  return first || secondsAfterPrevious > kTrackBreakSeconds + kTimeNoise ||
         secondsAfterPrevious < -kTimeNoise;
}

}  // namespace pathmere
