#pragma once

#include <cstdint>

#include "fix/gps_fix.h"
#include "text/safe_convert.h"

namespace pathmere {

// minute + 60 hour + 1,440 day + 44,640 month + 535,680 year of the fix's UTC
// time: changes once a minute, so the date conversions run once a minute.
inline int32_t MinuteKey(const GpsFix& fix) {
  return fix.minute + 60 * (fix.hour + 24 * (fix.day + 31 * (fix.month + 12 * fix.year)));
}
// day + 31 (month + 12 year) of a local date: distinct dates, distinct keys.
inline int32_t DayKey(const GpsFix& localDate) {
  return localDate.day + 31 * (localDate.month + 12 * localDate.year);
}

// The whole second shown and written for `seconds`, truncated: the small
// addend keeps 44.9999995 (from "44.9999995" or a sum of fractions) from
// reading as 44.
inline int32_t WholeSecond(double seconds) { return TruncateToInt32(seconds + 0.000001); }

// Writes the local date and time of `source` (UTC) into the same six fields of
// `destination` (day, month, year, hour, minute, seconds) and nothing else.
// Works at minute resolution; seconds stay as they are. If the date cannot be
// converted the destination keeps the UTC values.
void UtcToLocal(const GpsFix& source, GpsFix* destination);

// Days since 1899-12-30 00:00 with fraction, the day numbering of the
// OziExplorer formats; 0.0 when the date cannot be converted.
double FixTimeToDays(unsigned day, unsigned month, unsigned year, unsigned hour, unsigned minute,
                     unsigned second);

}  // namespace pathmere
