#pragma once

#include <cstdint>

namespace pathmere {

// Local time as the day files are named: by the zone's rules at each
// instant's own date, so an old log gets the offset its day had. Day numbers
// are days since 1899-12-30.

// The zone's offset from UTC at that instant, in seconds; false where the
// zone cannot be applied (no date, before 1601, past 9999).
bool UtcOffsetSeconds(double utcDayNumber, int64_t* seconds);
// `utcDayNumber` moved by the zone's offset at that instant; unchanged
// where the zone cannot be applied.
double LocalDayNumber(double utcDayNumber);

}  // namespace pathmere
