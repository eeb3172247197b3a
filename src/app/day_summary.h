#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "app/day_track.h"

namespace pathmere {

// When the receiver counts as standing still, and what a stop is. The
// README's "The day in numbers" tells these; change them there too.
struct PauseRules {
  // At or below this speed for kPauseSeconds the receiver is paused...
  static constexpr double kPauseMetresPerSecond = 0.4;
  // ...or below this one on a day whose mean speed is walking pace, where
  // 0.4 m/s would count a slow climb as standing.
  static constexpr double kWalkingPauseMetresPerSecond = 0.15;
  static constexpr double kWalkingPaceMetresPerSecond = 2.0;
  static constexpr double kPauseSeconds = 10.0;
  // A stop: at least this long spent within this distance of where it began.
  static constexpr double kStopSeconds = 180.0;
  static constexpr double kStopRadiusMetres = 50.0;
  // The maximum speed is the median of this many speeds the receiver
  // reported (its Doppler speed, in the day's GPX file), so one stray value
  // makes no maximum; where the receiver gave none, of this many
  // point-to-point speeds. The same smoothed speeds of the receiver, where
  // it gave them, decide what is paused and how far it went between two
  // points, so the maximum and the averages agree. Altitudes are the mean
  // of this many points.
  static constexpr int kSmoothingPoints = 5;
  // A climb or a descent counts once it exceeds this, so that the
  // receiver's altitude noise is not climbing.
  static constexpr double kClimbHysteresisMetres = 5.0;
};

struct DayStop {
  double startDayNumber = 0.0;  // UTC, days since 1899-12-30
  double seconds = 0.0;
  // Of `seconds`, those between two pieces of the line (the logger off or
  // no fix there), which the stopped time does not count.
  double withoutPointsSeconds = 0.0;
  double latitude = 0.0;  // the mean of its positions
  double longitude = 0.0;
};

// A day (or several) in numbers. Times in seconds, distances in metres,
// speeds in metres per second. Total time runs from the first point to the
// last; it is moving, stopped, or without points (between two pieces of the
// line, when the logger was off or the receiver had no fix).
struct DaySummary {
  size_t points = 0;
  int32_t segments = 0;
  double firstDayNumber = 0.0;
  double lastDayNumber = 0.0;
  double distanceMetres = 0.0;
  double totalSeconds = 0.0;
  double movingSeconds = 0.0;
  double stoppedSeconds = 0.0;
  double withoutPointsSeconds = 0.0;
  double maxSpeed = 0.0;
  // The pause threshold used (the walking one on a walking day).
  double pauseSpeed = PauseRules::kPauseMetresPerSecond;
  bool hasAltitude = false;
  double ascentMetres = 0.0;
  double descentMetres = 0.0;
  double highestMetres = 0.0;
  double lowestMetres = 0.0;
  std::vector<DayStop> stops;

  double movingAverageSpeed() const { return movingSeconds > 0.0 ? distanceMetres / movingSeconds : 0.0; }
  double totalAverageSpeed() const { return totalSeconds > 0.0 ? distanceMetres / totalSeconds : 0.0; }
};

// How far the summing of a day has come: the figures of its points before
// `done`, which no later point can change (a point's speeds and altitude
// look two points ahead). A day that grows is summed on from here rather
// than again from its first point. Both pause thresholds are carried, as
// the day's mean speed, known only at its end, picks one.
struct DaySummaryState {
  // Of the points before `done`, those summing on needs again.
  static constexpr size_t kPointsBefore = 3;

  struct Pauses {
    double slowRun = 0.0;
    double movingSeconds = 0.0;
    double stoppedSeconds = 0.0;
  };
  // Climbing and descending so far, with the leg under way.
  struct Climb {
    bool started = false;
    int32_t direction = 0;  // 1 up, -1 down, 0 not yet either
    double low = 0.0;
    double high = 0.0;
    double ascent = 0.0;
    double descent = 0.0;
  };

  uint64_t done = 0;
  double firstDayNumber = 0.0;
  int32_t segments = 0;
  double withoutPointsSeconds = 0.0;
  double distanceMetres = 0.0;
  double joinedSeconds = 0.0;
  double maxSpeed = 0.0;
  Pauses pauses[2];  // at kPauseMetresPerSecond, at kWalkingPauseMetresPerSecond
  bool hasAltitude = false;
  double highestMetres = 0.0;
  double lowestMetres = 0.0;
  double ascentMetres = 0.0;
  double descentMetres = 0.0;
  Climb climb;
};

// The numbers of a day's track points, in file order, with the receiver's
// speeds at their times where `speeds` has them.
DaySummary SummarisePoints(std::span<const DayTrackPoint> points, const ReceiverSpeeds* speeds = nullptr);
// The same, without the stops, summed on from `state`, which it moves on:
// `points` are the day's points from its point `first` on. What it costs is
// what the day gained since `state`, not the day. False, with nothing
// changed, when `points` do not reach back kPointsBefore points before
// state->done (or the day is shorter than the state knows).
bool SummariseOn(DaySummaryState* state, std::span<const DayTrackPoint> points, size_t first,
                 DaySummary* summary, const ReceiverSpeeds* speeds = nullptr);
inline DaySummary SummariseDay(const DayTrack& track) {
  return SummarisePoints(track.points(), &track.receiverSpeeds());
}
// Adds a later day's numbers to `total` (for a range of days).
void AddDaySummary(DaySummary* total, const DaySummary& day);

}  // namespace pathmere
