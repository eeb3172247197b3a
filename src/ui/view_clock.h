#pragma once

#include <QString>

#include "app/local_day_number.h"

namespace pathmere {

// The track view tells the time of day as the day files are named: local,
// by the zone's rules at each point's own date, so an old log shows the
// offset its day had. The files keep UTC day numbers (days since
// 1899-12-30); UTC stays at hand in the tooltips.

// LocalDayNumber (app/local_day_number.h) moves a UTC day number by the
// zone's offset at that instant.
// "CEST", or "UTC+05:30" where the zone has no abbreviation, at that instant.
QString ZoneText(double utcDayNumber);
// "13:04:59" of a day number as the track file's time column has it.
QString ClockText(double dayNumber);
// "15:04:59 CEST" and "13:04:59 UTC" of a UTC day number.
QString LocalClockText(double utcDayNumber);
QString UtcClockText(double utcDayNumber);
// "15:04:59 CEST (13:04:59 UTC)": where one time is told with both.
QString BothClocksText(double utcDayNumber);

}  // namespace pathmere
