#include "app/day_summary_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/local_day_number.h"
#include "text/safe_convert.h"

namespace pathmere {
namespace {

constexpr double kSecondsPerDay = 86400.0;

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string SpeedText(double metresPerSecond) { return Format("%.1f km/h", metresPerSecond * 3.6); }

}  // namespace

std::string DurationText(double seconds) {
  const int32_t whole = TruncateToInt32(std::max(0.0, seconds) + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d:%02d", static_cast<int>(whole / 3600),
                static_cast<int>(whole / 60 % 60), static_cast<int>(whole % 60));
  return text;
}

std::string TimeOfDayText(double dayNumber) {
  const double fraction = dayNumber - std::floor(dayNumber);
  int32_t seconds = TruncateToInt32(fraction * kSecondsPerDay + 0.5);
  if (seconds >= 86400) seconds -= 86400;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

std::string DateText(double dayNumber) {
  // Days since 1899-12-30 to a civil date (Howard Hinnant's algorithm, from 1970-01-01).
  const int64_t days =
      static_cast<int64_t>(TruncateToInt32(std::floor(dayNumber + 0.5 / kSecondsPerDay))) - 25569;
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char text[80];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day));
  return text;
}

std::vector<SummaryRow> SummaryRows(const DaySummary& s) {
  std::vector<SummaryRow> rows;
  rows.push_back({"Distance", Format("%.2f km", s.distanceMetres / 1000.0)});
  rows.push_back({"Total time", DurationText(s.totalSeconds)});
  rows.push_back({"Moving time", DurationText(s.movingSeconds)});
  rows.push_back({"Stopped time", DurationText(s.stoppedSeconds)});
  if (s.withoutPointsSeconds > 0.0) rows.push_back({"Without points", DurationText(s.withoutPointsSeconds)});
  rows.push_back({"Average speed (moving)", SpeedText(s.movingAverageSpeed())});
  rows.push_back({"Average speed (total)", SpeedText(s.totalAverageSpeed())});
  rows.push_back({"Maximum speed", SpeedText(s.maxSpeed)});
  if (s.hasAltitude) {
    rows.push_back({"Ascent", Format("%.0f m", s.ascentMetres)});
    rows.push_back({"Descent", Format("%.0f m", s.descentMetres)});
    rows.push_back({"Highest", Format("%.0f m", s.highestMetres)});
    rows.push_back({"Lowest", Format("%.0f m", s.lowestMetres)});
  } else {
    rows.push_back({"Altitude", "unknown"});
  }
  rows.push_back({"Points", std::to_string(s.points)});
  rows.push_back({"Segments", std::to_string(s.segments)});
  // Stops may span a stretch without points, which the stopped time leaves out.
  double stopsWithoutPoints = 0.0;
  for (const DayStop& stop : s.stops) stopsWithoutPoints += stop.withoutPointsSeconds;
  rows.push_back({"Stops", std::to_string(s.stops.size()) +
                               (stopsWithoutPoints > 0.0
                                    ? " (" + DurationText(stopsWithoutPoints) + " of them without points)"
                                    : "")});
  return rows;
}

std::string SpanText(const DaySummary& summary) {
  if (summary.points == 0) return "no track points";
  return DateText(summary.firstDayNumber) + " " + TimeOfDayText(summary.firstDayNumber) + " to " +
         DateText(summary.lastDayNumber) + " " + TimeOfDayText(summary.lastDayNumber) + " UTC";
}

std::string StopDurationText(const DayStop& stop) {
  if (stop.withoutPointsSeconds <= 0.0) return DurationText(stop.seconds);
  return DurationText(stop.seconds) + " (" + DurationText(stop.withoutPointsSeconds) + " without points)";
}

std::vector<std::string> StopLines(const DaySummary& summary) {
  std::vector<std::string> lines;
  for (const DayStop& stop : summary.stops) {
    char position[64];
    std::snprintf(position, sizeof position, "%.5f %.5f", stop.latitude, stop.longitude);
    // Local, as the day files are named: a range of days needs the date.
    const double local = LocalDayNumber(stop.startDayNumber);
    lines.push_back(DateText(local) + " " + TimeOfDayText(local) + " (" + TimeOfDayText(stop.startDayNumber) +
                    " UTC)  " + StopDurationText(stop) + "  " + position);
  }
  return lines;
}

}  // namespace pathmere
