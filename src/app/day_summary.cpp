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

 private:
  std::span<const DayTrackPoint> points_;
  std::vector<double> cosines_;
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
  // wandering of a receiver that stands still.
  double spanSpeed = 0.0;
  // The median of the point-to-point speeds around it.
  double medianSpeed = 0.0;
  // The receiver's speed over the step, its end's, as a point's speed is
  // the way it came; negative where it gave none. Where it is known it also
  // makes `metres`: positions that wander around a receiver that says it
  // stands are no way travelled.
  double receiverSpeed = -1.0;
};

std::vector<Step> StepsOf(std::span<const DayTrackPoint> points, const Cosines& cosines) {
  const size_t n = points.size();
  std::vector<Step> steps(n);
  std::vector<size_t> pieceStart(n, 0);
  std::vector<size_t> pieceEnd(n, n);  // one past the piece's last point
  for (size_t i = 0, start = 0; i < n; ++i) {
    if (i == 0 || points[i].startsPiece) start = i;
    pieceStart[i] = start;
  }
  for (size_t i = n, end = n; i-- > 0;) {
    pieceEnd[i] = end;
    if (i == 0 || points[i].startsPiece) end = i;
  }
  for (size_t k = 1; k < n; ++k) {
    if (points[k].startsPiece) continue;
    Step& step = steps[k];
    step.joined = true;
    step.seconds = SecondsBetween(points[k - 1], points[k]);
    step.metres = cosines.MetresBetween(k - 1, k);
    if (step.seconds >= 0.5) step.rawSpeed = step.metres / step.seconds;
  }
  std::vector<double> window;
  for (size_t k = 1; k < n; ++k) {
    Step& step = steps[k];
    if (!step.joined) continue;
    const size_t from = std::max(pieceStart[k], k - 1 >= kHalfWindow ? k - 1 - kHalfWindow : 0);
    const size_t to = std::min(pieceEnd[k] - 1, k + kHalfWindow);
    const double seconds = SecondsBetween(points[from], points[to]);
    step.spanSpeed = seconds >= 0.5 ? cosines.MetresBetween(from, to) / seconds : 0.0;
    window.clear();
    for (size_t j = std::max(from + 1, k >= kHalfWindow ? k - kHalfWindow : 0); j <= to; ++j) {
      if (steps[j].rawSpeed >= 0.0) window.push_back(steps[j].rawSpeed);
    }
    if (!window.empty()) {
      std::nth_element(window.begin(), window.begin() + window.size() / 2, window.end());
      step.medianSpeed = window[window.size() / 2];
    }
  }
  return steps;
}

// The receiver's speed at each point, the median of those it reported
// around the point within its piece, so that one stray value makes neither
// a maximum nor a distance; negative at a point it gave none for.
std::vector<double> ReceiverSpeedsAt(std::span<const DayTrackPoint> points, const ReceiverSpeeds* speeds) {
  const size_t n = points.size();
  std::vector<double> reported(n, -1.0);
  std::vector<double> smoothed(n, -1.0);
  if (speeds == nullptr || speeds->empty()) return smoothed;
  for (size_t i = 0; i < n; ++i) reported[i] = speeds->At(points[i].dayNumber);
  std::vector<double> window;
  for (size_t k = 0; k < n; ++k) {
    if (reported[k] < 0.0) continue;
    window.clear();
    for (size_t j = k; j + kHalfWindow >= k; --j) {
      if (reported[j] >= 0.0) window.push_back(reported[j]);
      if (j == 0 || points[j].startsPiece) break;
    }
    for (size_t j = k + 1; j < n && j <= k + kHalfWindow && !points[j].startsPiece; ++j) {
      if (reported[j] >= 0.0) window.push_back(reported[j]);
    }
    std::nth_element(window.begin(), window.begin() + window.size() / 2, window.end());
    smoothed[k] = window[window.size() / 2];
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

// The fastest of the receiver's speeds; a point without one takes the
// median of the point-to-point speeds around it instead.
double MaximumSpeed(const std::vector<Step>& steps, const std::vector<double>& receiver) {
  double maximum = 0.0;
  for (size_t k = 0; k < steps.size(); ++k) {
    if (receiver[k] >= 0.0) {
      maximum = std::max(maximum, receiver[k]);
    } else if (steps[k].joined) {
      maximum = std::max(maximum, steps[k].medianSpeed);
    }
  }
  return maximum;
}

// A receiver that says it stands, stands, whatever its positions do.
bool IsSlow(const Step& step, double pauseSpeed) {
  if (step.receiverSpeed >= 0.0) return step.receiverSpeed <= pauseSpeed;
  const double speed = step.rawSpeed >= 0.0 ? std::min(step.rawSpeed, step.spanSpeed) : step.spanSpeed;
  return speed <= pauseSpeed;
}

// Climbing and descending counted only once a turn exceeds the hysteresis.
class ClimbCounter {
 public:
  void Add(double altitude) {
    if (!started_) {
      low_ = high_ = altitude;
      started_ = true;
      return;
    }
    constexpr double kH = PauseRules::kClimbHysteresisMetres;
    switch (direction_) {
      case Direction::kNone:
        if (altitude >= low_ + kH) {
          direction_ = Direction::kUp;
          high_ = altitude;
        } else if (altitude <= high_ - kH) {
          direction_ = Direction::kDown;
          low_ = altitude;
        } else {
          low_ = std::min(low_, altitude);
          high_ = std::max(high_, altitude);
        }
        break;
      case Direction::kUp:
        if (altitude > high_) {
          high_ = altitude;
        } else if (altitude <= high_ - kH) {
          ascent_ += high_ - low_;
          direction_ = Direction::kDown;
          low_ = altitude;
        }
        break;
      case Direction::kDown:
        if (altitude < low_) {
          low_ = altitude;
        } else if (altitude >= low_ + kH) {
          descent_ += high_ - low_;
          direction_ = Direction::kUp;
          high_ = altitude;
        }
        break;
    }
  }
  // The last leg counts too; the counter starts again.
  void Finish(double* ascent, double* descent) {
    if (direction_ == Direction::kUp) ascent_ += high_ - low_;
    if (direction_ == Direction::kDown) descent_ += high_ - low_;
    *ascent += ascent_;
    *descent += descent_;
    *this = ClimbCounter();
  }

 private:
  enum class Direction { kNone, kUp, kDown };
  bool started_ = false;
  Direction direction_ = Direction::kNone;
  double low_ = 0.0;
  double high_ = 0.0;
  double ascent_ = 0.0;
  double descent_ = 0.0;
};

void SummariseAltitude(std::span<const DayTrackPoint> points, DaySummary* summary) {
  ClimbCounter climb;
  const size_t n = points.size();
  size_t pieceStart = 0;
  size_t pieceEnd = 0;  // one past the piece's last point
  for (size_t i = 0; i < n; ++i) {
    if (i == 0 || points[i].startsPiece) {
      pieceStart = i;
      for (pieceEnd = i + 1; pieceEnd < n && !points[pieceEnd].startsPiece;) ++pieceEnd;
    }
    if (points[i].startsPiece) climb.Finish(&summary->ascentMetres, &summary->descentMetres);
    if (!points[i].hasAltitude) continue;
    // The mean of the altitudes around it within its piece.
    double sum = 0.0;
    int count = 0;
    const size_t from = i >= kHalfWindow ? i - kHalfWindow : 0;
    for (size_t j = from; j <= std::min(n - 1, i + kHalfWindow); ++j) {
      // Points of another piece do not count.
      if (j >= pieceStart && j < pieceEnd && points[j].hasAltitude) {
        sum += points[j].altitudeMetres;
        ++count;
      }
    }
    const double altitude = sum / count;
    climb.Add(altitude);
    if (!summary->hasAltitude) {
      summary->highestMetres = summary->lowestMetres = altitude;
      summary->hasAltitude = true;
    }
    summary->highestMetres = std::max(summary->highestMetres, altitude);
    summary->lowestMetres = std::min(summary->lowestMetres, altitude);
  }
  climb.Finish(&summary->ascentMetres, &summary->descentMetres);
}

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

}  // namespace

DaySummary SummarisePoints(std::span<const DayTrackPoint> points, const ReceiverSpeeds* speeds) {
  DaySummary summary;
  summary.points = points.size();
  if (points.empty()) return summary;
  summary.firstDayNumber = points.front().dayNumber;
  summary.lastDayNumber = points.back().dayNumber;
  const Cosines cosines(points);
  std::vector<Step> steps = StepsOf(points, cosines);
  const std::vector<double> receiver = ReceiverSpeedsAt(points, speeds);
  UseReceiverSpeeds(receiver, &steps);

  double joinedSeconds = 0.0;
  for (size_t k = 0; k < points.size(); ++k) {
    if (k == 0 || points[k].startsPiece) {
      ++summary.segments;
      // A point earlier than the one before starts a piece too; no time passes.
      if (k > 0) summary.withoutPointsSeconds += std::max(0.0, SecondsBetween(points[k - 1], points[k]));
      continue;
    }
    summary.distanceMetres += steps[k].metres;
    joinedSeconds += std::max(0.0, steps[k].seconds);
  }
  summary.maxSpeed = MaximumSpeed(steps, receiver);
  const double meanSpeed = joinedSeconds > 0.0 ? summary.distanceMetres / joinedSeconds : 0.0;
  summary.pauseSpeed = meanSpeed <= PauseRules::kWalkingPaceMetresPerSecond
                           ? PauseRules::kWalkingPauseMetresPerSecond
                           : PauseRules::kPauseMetresPerSecond;

  // Slow steps count as stopped once a run of them lasts kPauseSeconds.
  double slowRun = 0.0;
  const auto endRun = [&] {
    (slowRun >= PauseRules::kPauseSeconds ? summary.stoppedSeconds : summary.movingSeconds) += slowRun;
    slowRun = 0.0;
  };
  for (size_t k = 1; k < points.size(); ++k) {
    const Step& step = steps[k];
    if (!step.joined) {
      endRun();
      continue;
    }
    const double seconds = std::max(0.0, step.seconds);
    if (IsSlow(step, summary.pauseSpeed)) {
      slowRun += seconds;
    } else {
      endRun();
      summary.movingSeconds += seconds;
    }
  }
  endRun();
  summary.totalSeconds = summary.movingSeconds + summary.stoppedSeconds + summary.withoutPointsSeconds;

  SummariseAltitude(points, &summary);
  FindStops(points, cosines, steps, summary.pauseSpeed, &summary.stops);
  return summary;
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
