#include "fix/status_text.h"

#include "fix/fix_time.h"
#include "text/decimal_text.h"
#include "text/fixed_wide_text.h"

namespace pathmere {

void ComposeFixStatus(const GpsFix& fix, const GpsFix& local, wchar_t* buffer, size_t capacity) {
  const int32_t s = WholeSecond(fix.seconds);
  char scratch[512];
  DecimalText text(scratch, sizeof scratch);
  // "UTC:  %02d.%02d.%02d %02d:%02d:%02d \r\nLocal: %02d.%02d.%02d %02d:%02d:%02d \r\n"
  // "Lat:   %lf \r\nLong: %lf\r\nAlt: " then "%.1lf\r\n" or "???\r\n", then
  // "Speed: %5.1lf km/h. Course: %.1lf\r\nSat: %2d  Hdop: %.1lf "
  text.Append("UTC:  ");
  text.AppendTwoDigitFields(fix.day, fix.month, fix.year, '.');
  text.Append(" ");
  text.AppendTwoDigitFields(fix.hour, fix.minute, s, ':');
  text.Append(" \r\nLocal: ");
  text.AppendTwoDigitFields(local.day, local.month, local.year, '.');
  text.Append(" ");
  text.AppendTwoDigitFields(local.hour, local.minute, s, ':');
  text.Append(" \r\nLat:   ");
  text.AppendFixed(fix.latitude, 6);
  text.Append(" \r\nLong: ");
  text.AppendFixed(fix.longitude, 6);
  text.Append("\r\nAlt: ");
  if (HasAltitude(fix)) {
    text.AppendFixed(fix.altitude, 1);
    text.Append("\r\n");
  } else {
    text.Append("???\r\n");
  }
  text.Append("Speed: ");
  text.AppendFixed(fix.speed, 1, 5);
  text.Append(" km/h. Course: ");
  text.AppendFixed(fix.course, 1);
  text.Append("\r\nSat: ");
  text.AppendInt(fix.satellites, 2);
  text.Append("  Hdop: ");
  text.AppendFixed(fix.hdop, 1);
  text.Append(" ");
  WidenInto(buffer, capacity, text.View());
}

void ComposeNoFixStatus(const GpsFix& fix, wchar_t* buffer, size_t capacity) {
  // "UTC: %02d:%02d:%02d \r\nNo fix\r\n"
  char scratch[128];
  DecimalText text(scratch, sizeof scratch);
  text.Append("UTC: ");
  text.AppendInt(fix.hour, 2, true);
  text.Append(":");
  text.AppendInt(fix.minute, 2, true);
  text.Append(":");
  text.AppendInt(WholeSecond(fix.seconds), 2, true);
  text.Append(" \r\nNo fix\r\n");
  WidenInto(buffer, capacity, text.View());
}

void MarkDropped(wchar_t* buffer, size_t capacity) { AppendWideCut(buffer, capacity, L"\r\nDROPPED "); }

}  // namespace pathmere
