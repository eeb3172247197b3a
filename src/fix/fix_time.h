#pragma once

#include <cstdint>

#include "fix/gps_fix.h"

namespace pathmere {

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
