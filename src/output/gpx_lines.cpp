#include "output/gpx_lines.h"

#include <cmath>
#include <cstring>

#include "fix/fix_time.h"
#include "text/decimal_text.h"
#include "text/safe_convert.h"

namespace pathmere {
namespace {

// Beyond these no receiver reports a value; such a field is noise.
constexpr double kLargestAltitude = 1e6;  // metres
constexpr double kLargestSpeed = 1e5;     // m/s
constexpr double kLargestHdop = 1e4;
constexpr int32_t kMostSatellites = 9999;
// Half of the last of the 9 decimals: a longitude this close below 180
// would print as 180.
constexpr double kHalfLastDecimal = 0.5e-9;

size_t WholeOrNothing(const DecimalText& text, char* buffer) {
  if (!text.cut()) return text.size();
  buffer[0] = '\0';
  return 0;
}

// "%.<decimals>f" without the trailing zeros (nor a bare dot); the value is
// within the limits above, so it fits.
void AppendTrimmed(DecimalText& text, double value, int decimals) {
  char digits[48];
  DecimalText number(digits, sizeof digits);
  number.AppendFixed(value, decimals);
  std::string_view view = number.View();
  if (view.find('.') != std::string_view::npos) {
    while (view.back() == '0') view.remove_suffix(1);
    if (view.back() == '.') view.remove_suffix(1);
  }
  if (view == "-0") view = "0";
  text.Append(view);
}

// "2026-12-06T02:56:44.25Z": the whole second as the .plt gives it, then the
// receiver's fraction to the millisecond, where it sent one.
void AppendUtcTime(DecimalText& text, const GpsFix& fix) {
  text.AppendInt(2000 + int64_t{fix.year}, 4, true);
  text.Append("-");
  text.AppendInt(fix.month, 2, true);
  text.Append("-");
  text.AppendInt(fix.day, 2, true);
  text.Append("T");
  int32_t second = WholeSecond(fix.seconds);
  int32_t millis = 0;
  if (second < 0 || second > 59) {
    // A leap second or noise: the schema's times have no second 60.
    second = second < 0 ? 0 : 59;
  } else {
    millis = TruncateToInt32(std::floor((fix.seconds - second) * 1000.0 + 0.5));
    millis = millis < 0 ? 0 : (millis > 999 ? 999 : millis);
  }
  text.AppendTwoDigitFields(fix.hour, fix.minute, second, ':');
  if (millis != 0) {
    char fraction[8];
    DecimalText digits(fraction, sizeof fraction);
    digits.Append(".");
    digits.AppendInt(millis, 3, true);
    std::string_view view = digits.View();
    while (view.back() == '0') view.remove_suffix(1);
    text.Append(view);
  }
  text.Append("Z");
}

// ` lat="..." lon="..."`; false when the position is not a real place.
bool AppendPosition(DecimalText& text, const GpsFix& fix) {
  double longitude = fix.longitude;
  if (!std::isfinite(fix.latitude) || std::fabs(fix.latitude) > 90.0 || !std::isfinite(longitude) ||
      std::fabs(longitude) > 360.0) {
    return false;
  }
  if (longitude >= 180.0 - kHalfLastDecimal) longitude -= 360.0;
  if (longitude < -180.0 - kHalfLastDecimal) longitude += 360.0;
  text.Append(" lat=\"");
  text.AppendFixed(fix.latitude, 9);
  text.Append("\" lon=\"");
  text.AppendFixed(longitude, 9);
  text.Append("\">");
  return true;
}

void AppendAltitude(DecimalText& text, const GpsFix& fix) {
  if (!HasAltitude(fix) || !std::isfinite(fix.altitude) || std::fabs(fix.altitude) >= kLargestAltitude)
    return;
  text.Append("<ele>");
  AppendTrimmed(text, fix.altitude, 3);
  text.Append("</ele>");
}

// GPX names only some of GGA's qualities. A plain GPS fix (1) does not say
// whether it is 2D or 3D, and RTK (4, 5) has no name: those are left out
// rather than guessed.
void AppendFixKind(DecimalText& text, const GpsFix& fix) {
  if (fix.fixQuality == 2) text.Append("<fix>dgps</fix>");
  if (fix.fixQuality == 3) text.Append("<fix>pps</fix>");
}

void AppendSatellitesAndHdop(DecimalText& text, const GpsFix& fix) {
  if (fix.satellites >= 0 && fix.satellites <= kMostSatellites) {
    text.Append("<sat>");
    text.AppendInt(fix.satellites);
    text.Append("</sat>");
  }
  if (std::isfinite(fix.hdop) && fix.hdop >= 0.0 && fix.hdop < kLargestHdop) {
    text.Append("<hdop>");
    AppendTrimmed(text, fix.hdop, 2);
    text.Append("</hdop>");
  }
}

void AppendMotion(DecimalText& text, const GpsFix& fix) {
  const double metresPerSecond = fix.speed / 3.6;
  const bool hasSpeed =
      std::isfinite(metresPerSecond) && metresPerSecond >= 0.0 && metresPerSecond < kLargestSpeed;
  double course = fix.course;
  const bool hasCourse = std::isfinite(course) && std::fabs(course) < kLargestAltitude;
  if (!hasSpeed && !hasCourse) return;
  text.Append("<extensions><gpxtpx:TrackPointExtension>");
  if (hasSpeed) {
    text.Append("<gpxtpx:speed>");
    AppendTrimmed(text, metresPerSecond, 3);
    text.Append("</gpxtpx:speed>");
  }
  if (hasCourse) {
    // The extension's course is in [0, 360).
    course = std::fmod(course, 360.0);
    if (course < 0.0) course += 360.0;
    if (course >= 360.0 - 0.005) course = 0.0;
    text.Append("<gpxtpx:course>");
    AppendTrimmed(text, course, 2);
    text.Append("</gpxtpx:course>");
  }
  text.Append("</gpxtpx:TrackPointExtension></extensions>");
}

// "<TAG lat=... lon=...>", the altitude where asked for, and the time; false
// (the buffer emptied) when the position is not a real place.
bool AppendPointHead(DecimalText& text, char* buffer, const char* tag, const GpsFix& fix, bool withAltitude) {
  text.Append(tag);
  if (!AppendPosition(text, fix)) {
    buffer[0] = '\0';
    return false;
  }
  if (withAltitude) AppendAltitude(text, fix);
  text.Append("<time>");
  AppendUtcTime(text, fix);
  text.Append("</time>");
  return true;
}

void AppendTwoDigitsEach(DecimalText& text, int64_t first, int64_t second, int64_t third) {
  text.AppendInt(first, 2, true);
  text.AppendInt(second, 2, true);
  text.AppendInt(third, 2, true);
}

}  // namespace

size_t ComposeGpxHead(const char* version, const GpsFix& fix, char* buffer, size_t capacity) {
  DecimalText text(buffer, capacity);
  text.Append(kGpxOwnPrefix);
  if (version != nullptr && version[0] != '\0') {
    text.Append(" ");
    text.Append(version);
  }
  text.Append(
      "\" xmlns=\"http://www.topografix.com/GPX/1/1\""
      " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
      " xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\""
      " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\">\n"
      "<metadata><time>");
  AppendUtcTime(text, fix);
  text.Append("</time></metadata>\n");
  return WholeOrNothing(text, buffer);
}

size_t ComposeGpxTrackStart(int32_t day, int32_t month, int32_t twoDigitYear, char* buffer, size_t capacity) {
  DecimalText text(buffer, capacity);
  text.Append("<trk><name>");
  text.AppendInt(2000 + int64_t{twoDigitYear}, 4, true);
  text.Append("-");
  text.AppendInt(month, 2, true);
  text.Append("-");
  text.AppendInt(day, 2, true);
  text.Append("</name>\n");
  return WholeOrNothing(text, buffer);
}

size_t ComposeGpxTrackPoint(const GpsFix& fix, bool withMotion, char* buffer, size_t capacity) {
  DecimalText text(buffer, capacity);
  if (!AppendPointHead(text, buffer, "<trkpt", fix, true)) return 0;
  AppendFixKind(text, fix);
  AppendSatellitesAndHdop(text, fix);
  if (withMotion) AppendMotion(text, fix);
  text.Append("</trkpt>\n");
  return WholeOrNothing(text, buffer);
}

size_t ComposeWaypointName(const GpsFix& fix, const GpsFix& local, char* buffer, size_t capacity) {
  DecimalText text(buffer, capacity);
  text.Append("W");
  AppendTwoDigitsEach(text, local.year, local.month, local.day);
  text.Append("-");
  AppendTwoDigitsEach(text, local.hour, local.minute, TruncateToInt32(std::floor(fix.seconds + 0.5)));
  return WholeOrNothing(text, buffer);
}

namespace {

// "<name>...</name>": markup characters escaped, bytes that are not
// printable ASCII (another program's code page) as "?".
void AppendName(DecimalText& text, std::string_view name) {
  text.Append("<name>");
  for (const char c : name) {
    switch (c) {
      case '&':
        text.Append("&amp;");
        break;
      case '<':
        text.Append("&lt;");
        break;
      case '>':
        text.Append("&gt;");
        break;
      case '"':
        text.Append("&quot;");
        break;
      default: {
        const char printable[] = {c >= 0x20 && c < 0x7F ? c : '?', '\0'};
        text.Append(printable);
      }
    }
  }
  text.Append("</name>");
}

}  // namespace

size_t ComposeGpxWaypoint(const GpsFix& fix, std::string_view name, char* buffer, size_t capacity) {
  DecimalText text(buffer, capacity);
  if (!AppendPointHead(text, buffer, "<wpt", fix, true)) return 0;
  AppendName(text, name);
  AppendSatellitesAndHdop(text, fix);
  text.Append("</wpt>\n");
  return WholeOrNothing(text, buffer);
}

size_t ComposeGpxRoutePoint(const GpsFix& fix, std::string_view name, char* buffer, size_t capacity) {
  DecimalText text(buffer, capacity);
  if (!AppendPointHead(text, buffer, "<rtept", fix, false)) return 0;
  AppendName(text, name);
  text.Append("</rtept>\n");
  return WholeOrNothing(text, buffer);
}

bool DayNumberToFixTime(double dayNumber, GpsFix* fix) {
  // 36526 is 2000-01-01; the fix keeps years 2000 to 2255.
  if (!std::isfinite(dayNumber) || dayNumber < 36526.0 || dayNumber >= 36526.0 + 256 * 366.0) return false;
  const double wholeDays = std::floor(dayNumber);
  double secondsOfDay = (dayNumber - wholeDays) * 86400.0;
  // The day number keeps 8 decimals (under a millisecond): round to that.
  secondsOfDay = std::floor(secondsOfDay * 1000.0 + 0.5) / 1000.0;
  int64_t days = static_cast<int64_t>(wholeDays) - 25569;  // days since 1970-01-01
  if (secondsOfDay >= 86400.0) {
    secondsOfDay -= 86400.0;
    ++days;
  }
  // Civil date of a day count (Howard Hinnant's algorithm).
  days += 719468;
  const int64_t era = days / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  if (year < 2000 || year > 2255) return false;
  const auto whole = static_cast<int32_t>(secondsOfDay);
  fix->year = static_cast<uint8_t>(year - 2000);
  fix->month = static_cast<uint8_t>(month);
  fix->day = static_cast<uint8_t>(day);
  fix->hour = static_cast<uint8_t>(whole / 3600);
  fix->minute = static_cast<uint8_t>(whole / 60 % 60);
  fix->seconds = secondsOfDay - (whole / 60) * 60;
  return true;
}

}  // namespace pathmere
