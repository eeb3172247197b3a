#pragma once

#include <string>
#include <vector>

#include "app/day_summary.h"

namespace pathmere {

// One line of a summary as people read it: "Moving time", "4:12:07".
struct SummaryRow {
  std::string label;
  std::string value;
};

// The summary's numbers as the track view's panel and `pathmere-cli summary`
// both show them, so the two never disagree. Times of day are UTC, as the
// files keep them, but for the stops'.
std::vector<SummaryRow> SummaryRows(const DaySummary& summary);
// "2026-12-06 12:00:00 to 2026-12-06 12:25:00 UTC": first and last point.
std::string SpanText(const DaySummary& summary);
// One line for each stop: start (local date and time, UTC time beside it),
// duration, position.
std::vector<std::string> StopLines(const DaySummary& summary);
// "0:19:41", or "0:19:41 (0:15:02 without points)" for a stop that spans a
// stretch without points.
std::string StopDurationText(const DayStop& stop);

// "1:05:09" for a number of seconds (rounded; never negative).
std::string DurationText(double seconds);
// "13:04:59" for a day number's time of day, UTC.
std::string TimeOfDayText(double dayNumber);
// "2026-12-06" for a day number's UTC date.
std::string DateText(double dayNumber);

}  // namespace pathmere
