#include "output/ozi_lines.h"

#include <cmath>

#include "fix/fix_time.h"
#include "fix/units.h"
#include "text/decimal_text.h"
#include "text/safe_convert.h"

// Composed with DecimalText rather than snprintf, which costs more than the
// rest of a fix's way through the program; the bytes are the same.
namespace pathmere {
namespace {

// The length of a composed line, or 0 with "" in the buffer when it was cut.
size_t WholeLineOrNothing(const DecimalText& text, char* buffer) {
  if (!text.cut()) return text.size();
  buffer[0] = '\0';
  return 0;
}

// "%02d%02d%02d": the parts of a date or a time run together.
void AppendTwoDigitsEach(DecimalText& text, int64_t first, int64_t second, int64_t third) {
  text.AppendInt(first, 2, true);
  text.AppendInt(second, 2, true);
  text.AppendInt(third, 2, true);
}

// "%.8f,%.8f,%.8f": latitude, longitude and day number, as route points and
// waypoints give them.
void AppendPositionAndTime(DecimalText& text, const GpsFix& fix, double dayNumber) {
  text.AppendFixed(fix.latitude, 8);
  text.Append(",");
  text.AppendFixed(fix.longitude, 8);
  text.Append(",");
  text.AppendFixed(dayNumber, 8);
}

}  // namespace

size_t ComposeTrackPointLine(const GpsFix& fix, double dayNumber, char* buffer, size_t capacity) {
  DecimalText text(buffer, capacity);
  text.AppendFixed(fix.latitude, 8);
  text.Append(", ");
  text.AppendFixed(fix.longitude, 8);
  if (HasAltitude(fix)) {
    text.Append(",0, ");
    text.AppendFixed(fix.altitude * kFeetPerMetre, 2);
    text.Append(", ");
  } else {
    text.Append(",0, -777,");
  }
  text.AppendFixed(dayNumber, 8);
  text.Append(", ");
  text.AppendTwoDigitFields(fix.day, fix.month, fix.year, '.');
  text.Append(", ");
  text.AppendTwoDigitFields(fix.hour, fix.minute, WholeSecond(fix.seconds), ':');
  text.Append("\r\n");
  return WholeLineOrNothing(text, buffer);
}

size_t ComposeRoutePointLine(int32_t pointNumber, const char* namePrefix, int32_t nameNumber,
                             const GpsFix& fix, double dayNumber, char* buffer, size_t capacity) {
  DecimalText text(buffer, capacity);
  text.Append("W,1,");
  text.AppendInt(pointNumber, 3);
  text.Append(",");
  text.AppendInt(pointNumber, 3);
  text.Append(",");
  text.Append(namePrefix);
  text.AppendInt(nameNumber, 3, true);
  text.Append(",");
  AppendPositionAndTime(text, fix, dayNumber);
  text.Append(",0,1,3,0,65535,,0,0, \r\n");
  return WholeLineOrNothing(text, buffer);
}

size_t ComposeWaypointLine(const GpsFix& fix, const GpsFix& local, double dayNumber, char* buffer,
                           size_t capacity) {
  const int32_t nameSeconds = TruncateToInt32(std::floor(fix.seconds + 0.5));
  DecimalText text(buffer, capacity);
  text.Append("-1,W");
  AppendTwoDigitsEach(text, local.year, local.month, local.day);
  text.Append("-");
  AppendTwoDigitsEach(text, local.hour, local.minute, nameSeconds);
  text.Append(",");
  AppendPositionAndTime(text, fix, dayNumber);
  text.Append(",0,1,3,0,65535,Created_by_Pathmere,0,0,0.00000,");
  if (HasAltitude(fix)) {
    text.AppendFixed(fix.altitude * kFeetPerMetre, 2);
  } else {
    text.Append("-777");
  }
  text.Append(" \r\n");
  return WholeLineOrNothing(text, buffer);
}

// DecimalText keeps what fits of a header, NUL-terminated, and counts only that.

size_t ComposeTrackHeader(int32_t day, int32_t month, int32_t twoDigitYear, char* buffer, size_t capacity) {
  DecimalText text(buffer, capacity);
  text.Append(
      "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
      "0,3,255,Track-");
  text.AppendInt(2000 + int64_t{twoDigitYear}, 4, true);
  text.Append("-");
  text.AppendInt(month, 2, true);
  text.Append("-");
  text.AppendInt(day, 2, true);
  text.Append(",0,0,0,255\r\n0          \r\n");
  return text.size();
}

size_t ComposeRouteHeader(int32_t day, int32_t month, int32_t twoDigitYear, char* buffer, size_t capacity) {
  DecimalText text(buffer, capacity);
  text.Append("OziExplorer Route File Version 1.0\r\nWGS 84\r\nReserved 1\r\nReserved 2\r\nR,1,R");
  AppendTwoDigitsEach(text, twoDigitYear, month, day);
  text.Append(",Track ");
  text.AppendInt(day, 2, true);
  text.Append(".");
  text.AppendInt(month, 2, true);
  text.Append(".");
  text.AppendInt(2000 + int64_t{twoDigitYear}, 4, true);
  text.Append(",16711680\r\n");
  return text.size();
}

size_t ComposeWaypointHeader(int32_t, int32_t, int32_t, char* buffer, size_t capacity) {
  DecimalText text(buffer, capacity);
  text.Append("OziExplorer Waypoint File Version 1.0\r\nWGS 84\r\nReserved 2\r\nReserved 3\r\n");
  return text.size();
}

}  // namespace pathmere
