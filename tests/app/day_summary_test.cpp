// The day in numbers over generated days whose answers are known.
#include "app/day_summary.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/day_summary_text.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

constexpr double kNoon = 46362.5;  // 2026-12-06 12:00 UTC
constexpr double kMetresPerDegree = 111195.0;

// A day made of legs, one point a second, heading north (or east) from
// 51.5 N 0 E.
class DayMaker {
 public:
  // `seconds` at `speed` m/s, the altitude changing by `climb` m/s, with
  // `noise` metres of wander along the way and up and down, as a receiver's
  // position drifts over a minute.
  DayMaker& Leg(int seconds, double speed, double climb = 0.0, double noise = 0.0) {
    for (int i = 0; i < seconds; ++i) {
      ++second_;
      north_ += speed;
      altitude_ += climb;
      const double wander = noise * std::sin(2.0 * M_PI * second_ / 60.0);
      Add(north_ + wander, 0.0, altitude_ + wander, speed);
    }
    return *this;
  }
  // The receiver reports its speed from now on, as the day's GPX file keeps
  // it; for the next `points` points it reads `speed` whatever the motion.
  DayMaker& Reporting() {
    reporting_ = true;
    return *this;
  }
  DayMaker& ReportedGlitch(int points, double speed) {
    glitchPoints_ = points;
    glitchSpeed_ = speed;
    return *this;
  }
  // No points for `seconds` while moving `metres`.
  DayMaker& Gap(int seconds, double metres) {
    second_ += seconds;
    north_ += metres;
    Add(north_, 0.0, altitude_);
    return *this;
  }
  // One position `metres` east of the line, then back on it.
  DayMaker& Spike(double metres) {
    ++second_;
    Add(north_, metres, altitude_);
    return *this;
  }
  // The day's numbers, which summing it on as it grows, in uneven flushes,
  // must give to the last bit.
  DaySummary Summary() const {
    const DaySummary whole = SummariseDay(track_);
    const std::vector<DayTrackPoint>& points = track_.points();
    DaySummaryState state;
    DaySummary grown;
    for (size_t cut : {size_t{1}, size_t{3}, size_t{4}, size_t{40}, size_t{41}, size_t{700}, points.size()}) {
      cut = std::min(cut, points.size());
      const size_t first = state.done >= 4 ? state.done - 3 - cut % 2 : 0;
      EXPECT_TRUE(SummariseOn(&state, std::span(points).subspan(first, cut - first), first, &grown,
                              &track_.receiverSpeeds()));
    }
    if (state.done > 0) {
      EXPECT_FALSE(SummariseOn(&state, std::span(points).subspan(state.done - 1), state.done - 1, &grown));
    }
    const auto figures = [](const DaySummary& d) {
      return std::vector<double>{static_cast<double>(d.points),
                                 static_cast<double>(d.segments),
                                 d.firstDayNumber,
                                 d.lastDayNumber,
                                 d.distanceMetres,
                                 d.totalSeconds,
                                 d.movingSeconds,
                                 d.stoppedSeconds,
                                 d.withoutPointsSeconds,
                                 d.maxSpeed,
                                 d.pauseSpeed,
                                 d.hasAltitude ? 1.0 : 0.0,
                                 d.ascentMetres,
                                 d.descentMetres,
                                 d.highestMetres,
                                 d.lowestMetres};
    };
    EXPECT_EQ(figures(grown), figures(whole));
    return whole;
  }
  DayMaker& Start() {
    Add(north_, 0.0, altitude_);
    return *this;
  }

 private:
  void Add(double north, double east, double altitude, double speed = 0.0) {
    const double dayNumber = kNoon + second_ / 86400.0;
    track_.AddTrackPoint(51.5 + north / kMetresPerDegree,
                         east / (kMetresPerDegree * std::cos(51.5 * M_PI / 180)), dayNumber, true, altitude);
    if (!reporting_) return;
    track_.AddReceiverSpeed(dayNumber, glitchPoints_ > 0 ? glitchSpeed_ : speed);
    if (glitchPoints_ > 0) --glitchPoints_;
  }
  DayTrack track_;
  bool reporting_ = false;
  int glitchPoints_ = 0;
  double glitchSpeed_ = 0.0;
  int second_ = 0;
  double north_ = 0.0;
  double altitude_ = 100.0;
};

constexpr double k50Kmh = 50.0 / 3.6;

TEST(DaySummaryTest, GeneratedDaysGiveTheirKnownNumbers) {
  const struct Row {
    const char* legend;
    DaySummary summary;
    double km;
    double movingMinutes;
    double stoppedMinutes;
    double withoutPointsMinutes;
    size_t stops;
    double maxKmh;
    int segments;
  } rows[] = {
      {"drive 10 min at 50 km/h, stop 5 min, drive on 10 min",
       DayMaker().Start().Leg(600, k50Kmh).Leg(300, 0.0).Leg(600, k50Kmh).Summary(), 16.667, 20, 5, 0, 1, 50,
       1},
      {"the same stop with 2 m of wander is still a stop",
       DayMaker().Start().Leg(600, k50Kmh).Leg(300, 0.0, 0.0, 2.0).Leg(600, k50Kmh).Summary(), 16.667, 20, 5,
       0, 1, 50, 1},
      {"a walk at 5 km/h with a slow climb at 0.3 m/s and a minute's rest",
       DayMaker().Start().Leg(1200, 5 / 3.6).Leg(600, 0.3).Leg(60, 0.0).Leg(600, 5 / 3.6).Summary(), 2.680,
       40, 1, 0, 0, 5, 1},
      {"a day with a gap: 30 min without points, 5 km further",
       DayMaker().Start().Leg(600, k50Kmh).Gap(1800, 5000).Leg(600, k50Kmh).Summary(), 16.667, 20, 0, 30, 0,
       50, 2},
      {"a light stays red 8 s: no pause, no stop",
       DayMaker().Start().Leg(300, k50Kmh).Leg(8, 0.0).Leg(300, k50Kmh).Summary(), 8.333, 10.133, 0, 0, 0, 50,
       1},
      {"one stray position 300 m aside makes no maximum speed",
       DayMaker().Start().Leg(300, k50Kmh).Spike(300).Leg(300, k50Kmh).Summary(), 8.933, 10.017, 0, 0, 0, 50,
       1},
      {"positions wandering 30 m: the receiver's 50 km/h, not their 61",
       DayMaker().Reporting().Start().Leg(600, k50Kmh, 0.0, 30.0).Summary(), 8.333, 10, 0, 0, 0, 50, 1},
      {"the receiver's own glitch of 200 km/h for 2 s makes no maximum",
       DayMaker()
           .Reporting()
           .Start()
           .Leg(300, k50Kmh)
           .ReportedGlitch(2, 200 / 3.6)
           .Leg(300, k50Kmh)
           .Summary(),
       8.333, 10, 0, 0, 0, 50, 1},
      {"the receiver's 70 km/h held for 5 s is the maximum",
       DayMaker().Reporting().Start().Leg(300, k50Kmh).ReportedGlitch(5, 70 / 3.6).Leg(300, k50Kmh).Summary(),
       8.333, 10, 0, 0, 0, 70, 1},
      {"the receiver says 0 km/h throughout while its positions wander 20 m: it stands",
       DayMaker().Reporting().Start().Leg(600, 0.0, 0.0, 20.0).Summary(), 0, 0, 10, 0, 1, 0, 1},
      {"a walk the receiver reports at 1.5 km/h, positions wandering 10 m: the receiver's way and speed",
       DayMaker().Reporting().Start().Leg(1200, 1.5 / 3.6, 0.0, 10.0).Summary(), 0.5, 20, 0, 0, 0, 1.5, 1},
      {"a stop of 4 min with 10 min without points inside it",
       DayMaker()
           .Start()
           .Leg(600, k50Kmh)
           .Leg(120, 0.0)
           .Gap(600, 0.0)
           .Leg(120, 0.0)
           .Leg(600, k50Kmh)
           .Summary(),
       16.667, 20, 4, 10, 1, 50, 2},
      {"no points", DaySummary{}, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const Row& row : rows) {
    const DaySummary& s = row.summary;
    EXPECT_NEAR(s.distanceMetres / 1000.0, row.km, row.km * 0.01 + 1e-9) << row.legend;
    EXPECT_NEAR(s.movingSeconds / 60.0, row.movingMinutes, 0.05) << row.legend;
    EXPECT_NEAR(s.stoppedSeconds / 60.0, row.stoppedMinutes, 0.05) << row.legend;
    EXPECT_NEAR(s.withoutPointsSeconds / 60.0, row.withoutPointsMinutes, 0.05) << row.legend;
    EXPECT_NEAR(s.totalSeconds, s.movingSeconds + s.stoppedSeconds + s.withoutPointsSeconds, 1e-6)
        << row.legend;
    EXPECT_NEAR(s.totalSeconds, (s.lastDayNumber - s.firstDayNumber) * 86400.0, 1e-3) << row.legend;
    EXPECT_EQ(s.stops.size(), row.stops) << row.legend;
    EXPECT_NEAR(s.maxSpeed * 3.6, row.maxKmh, 0.5) << row.legend;
    EXPECT_EQ(s.segments, row.segments) << row.legend;
  }
  // The stop of the first drive: when, how long, where.
  const DayStop stop = rows[0].summary.stops.at(0);
  EXPECT_EQ(TimeOfDayText(stop.startDayNumber), "12:10:00");
  EXPECT_NEAR(stop.seconds, 300.0, 0.01);
  EXPECT_NEAR((stop.latitude - 51.5) * kMetresPerDegree, 600 * k50Kmh, 1.0);
  EXPECT_NEAR(stop.longitude, 0.0, 1e-7);
  EXPECT_NEAR(rows[0].summary.movingAverageSpeed() * 3.6, 50.0, 0.5);
  EXPECT_NEAR(rows[0].summary.totalAverageSpeed() * 3.6, 40.0, 0.5);
  EXPECT_DOUBLE_EQ(rows[0].summary.pauseSpeed, PauseRules::kPauseMetresPerSecond);
  EXPECT_DOUBLE_EQ(rows[2].summary.pauseSpeed, PauseRules::kWalkingPauseMetresPerSecond) << "a walking day";
  // The walk's averages are no faster than its maximum.
  EXPECT_NEAR(rows[10].summary.movingAverageSpeed() * 3.6, 1.5, 0.01);
  EXPECT_NEAR(rows[10].summary.totalAverageSpeed() * 3.6, 1.5, 0.01);
  // A stop across a stretch without points says how much of it had none.
  const DaySummary& gapStop = rows[11].summary;
  ASSERT_EQ(gapStop.stops.size(), 1U);
  EXPECT_NEAR(gapStop.stops[0].withoutPointsSeconds, 600.0, 0.01);
  EXPECT_EQ(StopLines(gapStop).at(0),
            "2026-12-06 12:10:00 (12:10:00 UTC)  0:14:00 (0:10:00 without points)  51.57494 0.00000");
  EXPECT_EQ(SummaryRows(gapStop).back().value, "1 (0:10:00 of them without points)");
}

TEST(DaySummaryTest, ClimbIsCountedPastTheNoiseOnly) {
  const struct Row {
    const char* legend;
    DaySummary summary;
    double ascent;
    double descent;
    double highest;
    double lowest;
  } rows[] = {
      {"flat with 2 m of noise is no climb", DayMaker().Start().Leg(600, 1.0, 0.0, 2.0).Summary(), 0, 0, 102,
       98},
      {"up 100 m, down 40 m", DayMaker().Start().Leg(500, 1.0, 0.2).Leg(200, 1.0, -0.2).Summary(), 100, 40,
       200, 100},
      {"up 100 m with 1 m of noise", DayMaker().Start().Leg(1000, 1.0, 0.1, 1.0).Summary(), 100, 0, 200, 100},
      {"4 m waves never count", DayMaker().Start().Leg(20, 1, 0.2).Leg(20, 1, -0.2).Leg(20, 1, 0.2).Summary(),
       0, 0, 104, 100},
  };
  for (const Row& row : rows) {
    const DaySummary& s = row.summary;
    ASSERT_TRUE(s.hasAltitude) << row.legend;
    EXPECT_NEAR(s.ascentMetres, row.ascent, 3.0) << row.legend;
    EXPECT_NEAR(s.descentMetres, row.descent, 3.0) << row.legend;
    EXPECT_NEAR(s.highestMetres, row.highest, 3.0) << row.legend;
    EXPECT_NEAR(s.lowestMetres, row.lowest, 3.0) << row.legend;
  }
}

TEST(DaySummaryTest, DaysAddUpAndTextsAreReadable) {
  const DaySummary one = DayMaker().Start().Leg(600, k50Kmh).Leg(300, 0.0).Leg(600, k50Kmh).Summary();
  DaySummary total;
  AddDaySummary(&total, one);
  AddDaySummary(&total, DaySummary{});
  AddDaySummary(&total, one);
  EXPECT_EQ(total.points, 2 * one.points);
  EXPECT_NEAR(total.distanceMetres, 2 * one.distanceMetres, 1e-6);
  EXPECT_EQ(total.stops.size(), 2u);

  const struct {
    double seconds;
    const char* text;
  } durations[] = {{0, "0:00:00"},  {59.6, "0:01:00"}, {3725, "1:02:05"},
                   {-5, "0:00:00"}, {NAN, "0:00:00"},  {1e300, "596523:14:07"}};
  for (const auto& row : durations) EXPECT_EQ(DurationText(row.seconds), row.text) << row.seconds;
  EXPECT_EQ(TimeOfDayText(kNoon + 59.6 / 86400.0), "12:01:00");
  EXPECT_EQ(TimeOfDayText(kNoon + 0.5 - 0.2 / 86400.0), "00:00:00") << "rounds to the next midnight";
  EXPECT_EQ(DateText(kNoon), "2026-12-06");
  EXPECT_EQ(DateText(36526.0), "2000-01-01");

  const std::vector<SummaryRow> rows = SummaryRows(one);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0].label, "Distance");
  EXPECT_EQ(rows[0].value, "16.67 km");
  EXPECT_EQ(StopLines(one),
            std::vector<std::string>{"2026-12-06 12:10:00 (12:10:00 UTC)  0:05:00  51.57494 0.00000"});
  // Stops of a range of days: each with its local date.
  testing::ScopedTimeZone kiritimati("Pacific/Kiritimati");  // UTC+14: the next day
  EXPECT_EQ(StopLines(one),
            std::vector<std::string>{"2026-12-07 02:10:00 (12:10:00 UTC)  0:05:00  51.57494 0.00000"});
}

}  // namespace
}  // namespace pathmere
