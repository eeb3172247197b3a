#include "app/day_summary.h"

#include <algorithm>
#include <cmath>

namespace pathmere {
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr size_t kHalfWindow = PauseRules::kSmoothingPoints / 2;
constexpr double kMetresPerDegree = 111195.0;
constexpr double kReachSquared = PauseRules::kStopRadiusMetres * PauseRules::kStopRadiusMetres;

double SecondsBetween(const DayTrackPoint& from, const DayTrackPoint& to) {
  return (to.dayNumber - from.dayNumber) * kSecondsPerDay;
}

// The cosine of each point's latitude, worked out once: a point is measured
// against its neighbours and against stops' anchors.
class Cosines {
 public:
  explicit Cosines(std::span<const DayTrackPoint> points) : points_(points), cosines_(points.size()) {
    for (size_t i = 0; i < points.size(); ++i) cosines_[i] = CosineOfLatitude(points[i].latitude);
  }
  double operator[](size_t i) const { return cosines_[i]; }
  double MetresBetween(size_t from, size_t to) const {
    const DayTrackPoint& a = points_[from];
    const DayTrackPoint& b = points_[to];
    return GroundDistanceMetres(a.latitude, a.longitude, cosines_[from], b.latitude, b.longitude,
                                cosines_[to]);
  }
  double MetresAtLeast(size_t from, size_t to) const {
    const DayTrackPoint& a = points_[from];
    const DayTrackPoint& b = points_[to];
    return GroundDistanceAtLeastMetres(a.latitude, a.longitude, cosines_[from], b.latitude, b.longitude,
                                       cosines_[to]);
  }

 private:
  std::span<const DayTrackPoint> points_;
  std::vector<double> cosines_;
};

// The median of the few speeds about a point: kept in order as they come,
// which for five is far cheaper than a selection over a vector.
class SmallMedian {
 public:
  void Clear() { count_ = 0; }
  void Add(double value) {
    if (count_ == std::size(values_)) return;
    size_t at = count_++;
    for (; at > 0 && values_[at - 1] > value; --at) values_[at] = values_[at - 1];
    values_[at] = value;
  }
  bool empty() const { return count_ == 0; }
  // The upper middle of an even count, as nth_element at size / 2 gives it.
  double Middle() const { return values_[count_ / 2]; }

 private:
  double values_[PauseRules::kSmoothingPoints] = {};
  size_t count_ = 0;
};

// The way from point k - 1 to point k; for k == 0 and at a piece's first
// point there is none (`joined` false).
struct Step {
  bool joined = false;
  double seconds = 0.0;
  double metres = 0.0;
  // Point to point; negative when the two points share a second.
  double rawSpeed = -1.0;
  // Straight across the few points around the step, which averages out the
  // wandering of a receiver that stands still; exact only at or below the
  // pause speeds (SpanSpeed).
  double spanSpeed = 0.0;
  // The median of the point-to-point speeds around it.
  double medianSpeed = 0.0;
  // The receiver's speed over the step, its end's, as a point's speed is
  // the way it came; negative where it gave none. Where it is known it also
  // makes `metres`: positions that wander around a receiver that says it
  // stands are no way travelled.
  double receiverSpeed = -1.0;
};

// The first point of each point's piece, and one past its last.
struct PieceBounds {
  std::vector<size_t> start;
  std::vector<size_t> end;
};

PieceBounds PieceBoundsOf(std::span<const DayTrackPoint> points) {
  const size_t n = points.size();
  PieceBounds pieces{std::vector<size_t>(n, 0), std::vector<size_t>(n, n)};
  for (size_t i = 0, start = 0; i < n; ++i) {
    if (i == 0 || points[i].startsPiece) start = i;
    pieces.start[i] = start;
  }
  for (size_t i = n, end = n; i-- > 0;) {
    pieces.end[i] = end;
    if (i == 0 || points[i].startsPiece) end = i;
  }
  return pieces;
}

constexpr double kFastestPauseSpeed =
    std::max(PauseRules::kPauseMetresPerSecond, PauseRules::kWalkingPauseMetresPerSecond);

// A step's span speed only ever decides whether it is slow (IsSlow): one
// surely above every pause speed decides the same as the exact one, and
// spares most steps of a drive a haversine.
double SpanSpeed(const Cosines& cosines, size_t from, size_t to, double seconds) {
  const double atLeast = cosines.MetresAtLeast(from, to) / seconds;
  return atLeast > kFastestPauseSpeed ? atLeast : cosines.MetresBetween(from, to) / seconds;
}

std::vector<Step> StepsOf(std::span<const DayTrackPoint> points, const Cosines& cosines,
                          const PieceBounds& pieces) {
  const size_t n = points.size();
  const std::vector<size_t>& pieceStart = pieces.start;
  const std::vector<size_t>& pieceEnd = pieces.end;
  std::vector<Step> steps(n);
  for (size_t k = 1; k < n; ++k) {
    if (points[k].startsPiece) continue;
    Step& step = steps[k];
    step.joined = true;
    step.seconds = SecondsBetween(points[k - 1], points[k]);
    step.metres = cosines.MetresBetween(k - 1, k);
    if (step.seconds >= 0.5) step.rawSpeed = step.metres / step.seconds;
  }
  SmallMedian window;
  for (size_t k = 1; k < n; ++k) {
    Step& step = steps[k];
    if (!step.joined) continue;
    const size_t from = std::max(pieceStart[k], k - 1 >= kHalfWindow ? k - 1 - kHalfWindow : 0);
    const size_t to = std::min(pieceEnd[k] - 1, k + kHalfWindow);
    const double seconds = SecondsBetween(points[from], points[to]);
    step.spanSpeed = seconds >= 0.5 ? SpanSpeed(cosines, from, to, seconds) : 0.0;
    window.Clear();
    for (size_t j = std::max(from + 1, k >= kHalfWindow ? k - kHalfWindow : 0); j <= to; ++j) {
      if (steps[j].rawSpeed >= 0.0) window.Add(steps[j].rawSpeed);
    }
    if (!window.empty()) step.medianSpeed = window.Middle();
  }
  return steps;
}

// The receiver's speed at each point, the median of those it reported
// around the point within its piece, so that one stray value makes neither
// a maximum nor a distance; negative at a point it gave none for.
std::vector<double> ReceiverSpeedsAt(std::span<const DayTrackPoint> points, const ReceiverSpeeds* speeds) {
  const size_t n = points.size();
  std::vector<double> smoothed(n, -1.0);
  if (speeds == nullptr || speeds->empty()) return smoothed;
  std::vector<double> reported(n, -1.0);
  for (size_t i = 0; i < n; ++i) reported[i] = speeds->At(points[i].dayNumber);
  SmallMedian window;
  for (size_t k = 0; k < n; ++k) {
    if (reported[k] < 0.0) continue;
    window.Clear();
    for (size_t j = k; j + kHalfWindow >= k; --j) {
      if (reported[j] >= 0.0) window.Add(reported[j]);
      if (j == 0 || points[j].startsPiece) break;
    }
    for (size_t j = k + 1; j < n && j <= k + kHalfWindow && !points[j].startsPiece; ++j) {
      if (reported[j] >= 0.0) window.Add(reported[j]);
    }
    smoothed[k] = window.Middle();
  }
  return smoothed;
}

// Steps that have the receiver's speed take their speed and length from it.
void UseReceiverSpeeds(const std::vector<double>& receiver, std::vector<Step>* steps) {
  for (size_t k = 1; k < steps->size(); ++k) {
    Step& step = (*steps)[k];
    if (!step.joined || receiver[k] < 0.0) continue;
    step.receiverSpeed = receiver[k];
    step.metres = step.receiverSpeed * std::max(0.0, step.seconds);
  }
}

// A receiver that says it stands, stands, whatever its positions do.
bool IsSlow(const Step& step, double pauseSpeed) {
  if (step.receiverSpeed >= 0.0) return step.receiverSpeed <= pauseSpeed;
  const double speed = step.rawSpeed >= 0.0 ? std::min(step.rawSpeed, step.spanSpeed) : step.spanSpeed;
  return speed <= pauseSpeed;
}

// Climbing and descending counted only once a turn exceeds the hysteresis.
void AddAltitude(DaySummaryState::Climb* c, double altitude) {
  if (!c->started) {
    c->low = c->high = altitude;
    c->started = true;
    return;
  }
  constexpr double kH = PauseRules::kClimbHysteresisMetres;
  if (c->direction == 0) {
    if (altitude >= c->low + kH) {
      c->direction = 1;
      c->high = altitude;
    } else if (altitude <= c->high - kH) {
      c->direction = -1;
      c->low = altitude;
    } else {
      c->low = std::min(c->low, altitude);
      c->high = std::max(c->high, altitude);
    }
  } else if (c->direction > 0) {
    if (altitude > c->high) {
      c->high = altitude;
    } else if (altitude <= c->high - kH) {
      c->ascent += c->high - c->low;
      c->direction = -1;
      c->low = altitude;
    }
  } else {
    if (altitude < c->low) {
      c->low = altitude;
    } else if (altitude >= c->low + kH) {
      c->descent += c->high - c->low;
      c->direction = 1;
      c->high = altitude;
    }
  }
}

// The last leg counts too; the counter starts again.
void FinishClimb(DaySummaryState::Climb* c, double* ascent, double* descent) {
  if (c->direction > 0) c->ascent += c->high - c->low;
  if (c->direction < 0) c->descent += c->high - c->low;
  *ascent += c->ascent;
  *descent += c->descent;
  *c = DaySummaryState::Climb();
}

// The mean of the altitudes around point i within its piece.
double SmoothedAltitude(std::span<const DayTrackPoint> points, const PieceBounds& pieces, size_t i) {
  double sum = 0.0;
  int count = 0;
  const size_t from = i >= kHalfWindow ? i - kHalfWindow : 0;
  for (size_t j = from; j <= std::min(points.size() - 1, i + kHalfWindow); ++j) {
    // Points of another piece do not count.
    if (j >= pieces.start[i] && j < pieces.end[i] && points[j].hasAltitude) {
      sum += points[j].altitudeMetres;
      ++count;
    }
  }
  return sum / count;
}

void EndSlowRun(DaySummaryState::Pauses* p) {
  (p->slowRun >= PauseRules::kPauseSeconds ? p->stoppedSeconds : p->movingSeconds) += p->slowRun;
  p->slowRun = 0.0;
}

constexpr double kPauseSpeeds[2] = {PauseRules::kPauseMetresPerSecond,
                                    PauseRules::kWalkingPauseMetresPerSecond};

// Every stretch of at least kStopSeconds within kStopRadiusMetres of its
// first point, from the first slow step to the last, so that arriving and
// leaving are not part of the stop.
void FindStops(std::span<const DayTrackPoint> points, const Cosines& cosines, const std::vector<Step>& steps,
               double pauseSpeed, std::vector<DayStop>* stops) {
  const size_t n = points.size();
  size_t anchor = 0;
  while (anchor < n) {
    // Flat metres are exact enough within 50 m, and far cheaper: the scan
    // measures each point against every anchor before it within reach.
    const double eastPerDegree = kMetresPerDegree * cosines[anchor];
    const auto withinReach = [&](const DayTrackPoint& point) {
      const double north = (point.latitude - points[anchor].latitude) * kMetresPerDegree;
      double east = std::fabs(point.longitude - points[anchor].longitude);
      if (east > 180.0) east = 360.0 - east;
      east *= eastPerDegree;
      return north * north + east * east <= kReachSquared;
    };
    size_t last = anchor;
    while (last + 1 < n && withinReach(points[last + 1]) &&
           points[last + 1].dayNumber >= points[last].dayNumber) {
      ++last;
    }
    size_t first = n;
    size_t end = anchor;
    for (size_t k = anchor + 1; k <= last; ++k) {
      if (steps[k].joined && !IsSlow(steps[k], pauseSpeed)) continue;
      if (first == n) first = k - 1;
      end = k;
    }
    if (first == n || SecondsBetween(points[first], points[end]) < PauseRules::kStopSeconds) {
      ++anchor;
      continue;
    }
    DayStop stop;
    stop.startDayNumber = points[first].dayNumber;
    stop.seconds = SecondsBetween(points[first], points[end]);
    for (size_t k = first + 1; k <= end; ++k) {
      if (!steps[k].joined)
        stop.withoutPointsSeconds += std::max(0.0, SecondsBetween(points[k - 1], points[k]));
    }
    for (size_t i = first; i <= end; ++i) {
      stop.latitude += points[i].latitude;
      stop.longitude += points[i].longitude;
    }
    stop.latitude /= static_cast<double>(end - first + 1);
    stop.longitude /= static_cast<double>(end - first + 1);
    stops->push_back(stop);
    anchor = last + 1;
  }
}

// Sums `points` (the day's from its point `first` on) on from `state`;
// with `stops` (only from the first point) finds them too.
DaySummary Summarise(DaySummaryState* state, std::span<const DayTrackPoint> points, size_t first,
                     const ReceiverSpeeds* speeds, std::vector<DayStop>* stops) {
  DaySummary summary;
  const size_t n = points.size();
  summary.points = first + n;
  if (n == 0) return summary;
  if (first == 0 && state->done == 0) state->firstDayNumber = points.front().dayNumber;
  const Cosines cosines(points);
  const PieceBounds pieces = PieceBoundsOf(points);
  std::vector<Step> steps = StepsOf(points, cosines, pieces);
  const std::vector<double> receiver = ReceiverSpeedsAt(points, speeds);
  UseReceiverSpeeds(receiver, &steps);

  // Point k of `points` into `s`: its step's way, speed and pause, its altitude.
  const auto take = [&](DaySummaryState& s, size_t k) {
    const DayTrackPoint& point = points[k];
    const Step& step = steps[k];
    const bool dayFirst = first + k == 0;
    if (dayFirst || point.startsPiece) {
      ++s.segments;
      // A point earlier than the one before starts a piece too; no time passes.
      if (!dayFirst) s.withoutPointsSeconds += std::max(0.0, SecondsBetween(points[k - 1], point));
    } else {
      s.distanceMetres += step.metres;
      s.joinedSeconds += std::max(0.0, step.seconds);
    }
    // The fastest of the receiver's speeds; a point without one takes the
    // median of the point-to-point speeds around it instead.
    if (receiver[k] >= 0.0) {
      s.maxSpeed = std::max(s.maxSpeed, receiver[k]);
    } else if (step.joined) {
      s.maxSpeed = std::max(s.maxSpeed, step.medianSpeed);
    }
    // Slow steps count as stopped once a run of them lasts kPauseSeconds.
    if (!dayFirst) {
      for (size_t t = 0; t < 2; ++t) {
        DaySummaryState::Pauses& p = s.pauses[t];
        if (!step.joined) {
          EndSlowRun(&p);
        } else if (IsSlow(step, kPauseSpeeds[t])) {
          p.slowRun += std::max(0.0, step.seconds);
        } else {
          EndSlowRun(&p);
          p.movingSeconds += std::max(0.0, step.seconds);
        }
      }
    }
    if (point.startsPiece) FinishClimb(&s.climb, &s.ascentMetres, &s.descentMetres);
    if (point.hasAltitude) {
      const double altitude = SmoothedAltitude(points, pieces, k);
      AddAltitude(&s.climb, altitude);
      if (!s.hasAltitude) {
        s.highestMetres = s.lowestMetres = altitude;
        s.hasAltitude = true;
      }
      s.highestMetres = std::max(s.highestMetres, altitude);
      s.lowestMetres = std::min(s.lowestMetres, altitude);
    }
  };
  // What no later point changes goes into the state; the last two points
  // only into the day's figures as they are now.
  const size_t from = static_cast<size_t>(state->done) - first;
  const size_t settled = std::max(from, n >= 2 ? n - 2 : 0);
  for (size_t k = from; k < settled; ++k) take(*state, k);
  state->done = first + settled;
  DaySummaryState end = *state;
  for (size_t k = settled; k < n; ++k) take(end, k);
  for (DaySummaryState::Pauses& p : end.pauses) EndSlowRun(&p);
  FinishClimb(&end.climb, &end.ascentMetres, &end.descentMetres);

  summary.firstDayNumber = end.firstDayNumber;
  summary.lastDayNumber = points.back().dayNumber;
  summary.segments = end.segments;
  summary.withoutPointsSeconds = end.withoutPointsSeconds;
  summary.distanceMetres = end.distanceMetres;
  summary.maxSpeed = end.maxSpeed;
  const double meanSpeed = end.joinedSeconds > 0.0 ? end.distanceMetres / end.joinedSeconds : 0.0;
  const bool walking = meanSpeed <= PauseRules::kWalkingPaceMetresPerSecond;
  summary.pauseSpeed = kPauseSpeeds[walking ? 1 : 0];
  summary.movingSeconds = end.pauses[walking ? 1 : 0].movingSeconds;
  summary.stoppedSeconds = end.pauses[walking ? 1 : 0].stoppedSeconds;
  summary.totalSeconds = summary.movingSeconds + summary.stoppedSeconds + summary.withoutPointsSeconds;
  summary.hasAltitude = end.hasAltitude;
  summary.highestMetres = end.highestMetres;
  summary.lowestMetres = end.lowestMetres;
  summary.ascentMetres = end.ascentMetres;
  summary.descentMetres = end.descentMetres;
  if (stops != nullptr) FindStops(points, cosines, steps, summary.pauseSpeed, stops);
  return summary;
}

}  // namespace

DaySummary SummarisePoints(std::span<const DayTrackPoint> points, const ReceiverSpeeds* speeds) {
  DaySummaryState state;
  std::vector<DayStop> stops;
  DaySummary summary = Summarise(&state, points, 0, speeds, &stops);
  summary.stops = std::move(stops);
  return summary;
}

bool SummariseOn(DaySummaryState* state, std::span<const DayTrackPoint> points, size_t first,
                 DaySummary* summary, const ReceiverSpeeds* speeds) {
  const bool reaches = first == 0 || first + DaySummaryState::kPointsBefore <= state->done;
  if (!reaches || state->done > first + points.size()) return false;
  *summary = Summarise(state, points, first, speeds, nullptr);
  return true;
}

void AddDaySummary(DaySummary* total, const DaySummary& day) {
  if (day.points == 0) return;
  if (total->points == 0) {
    *total = day;
    return;
  }
  total->points += day.points;
  total->segments += day.segments;
  total->firstDayNumber = std::min(total->firstDayNumber, day.firstDayNumber);
  total->lastDayNumber = std::max(total->lastDayNumber, day.lastDayNumber);
  total->distanceMetres += day.distanceMetres;
  total->totalSeconds += day.totalSeconds;
  total->movingSeconds += day.movingSeconds;
  total->stoppedSeconds += day.stoppedSeconds;
  total->withoutPointsSeconds += day.withoutPointsSeconds;
  total->maxSpeed = std::max(total->maxSpeed, day.maxSpeed);
  total->pauseSpeed = std::max(total->pauseSpeed, day.pauseSpeed);
  if (day.hasAltitude) {
    total->highestMetres =
        total->hasAltitude ? std::max(total->highestMetres, day.highestMetres) : day.highestMetres;
    total->lowestMetres =
        total->hasAltitude ? std::min(total->lowestMetres, day.lowestMetres) : day.lowestMetres;
    total->hasAltitude = true;
  }
  total->ascentMetres += day.ascentMetres;
  total->descentMetres += day.descentMetres;
  total->stops.insert(total->stops.end(), day.stops.begin(), day.stops.end());
}

}  // namespace pathmere
