#pragma once

#include <cstddef>
#include <cstdint>

#include "fix/gps_fix.h"

namespace pathmere {

// The lines and headers of the OziExplorer track, route and waypoint files,
// each composed into a buffer of `capacity` bytes (terminator included) that
// the caller supplies, and ended with a NUL.
//
// A line that does not fit its buffer is left out whole: the result is 0 and
// the buffer holds "". Only absurd decoded values (1e300, NaN, ...) make a
// line long, and half a line would spoil the file for every reader.
//
// A header that does not fit is cut to the buffer instead; with the 256 bytes
// the day files give it, none comes near that.
//
// `dayNumber` is the UTC time as days since 1899-12-30 with the fraction of
// the day, the formats' own time scale.

// Track point line, all UTC:
//   51.47788000       latitude, north positive
//   -0.00147000       longitude, east positive
//   0                 segment code: the track is never broken
//   115.49 | -777     altitude in feet; "-777," without a blank when unknown
//   46362.12273727    day number
//   06.12.26          date dd.mm.yy
//   02:56:44          time, seconds truncated (44.9999995 still reads 45)
size_t ComposeTrackPointLine(const GpsFix& fix, double dayNumber, char* buffer, size_t capacity);

// Point line of route 1:
//   W,1              route waypoint of route 1
//   "  1,  1"        point number twice, %3d: wider from 1000 on
//   REE001           name: prefix and three-digit name number
//   48.13781000      latitude, north positive
//   11.57549000      longitude, east positive
//   46362.50035012   UTC day number
//   0,1,3,0,65535,,0,0,   symbol, status, display, colours, no description
//   " \r\n"          a blank before the line end
size_t ComposeRoutePointLine(int32_t pointNumber, const char* namePrefix, int32_t nameNumber,
                             const GpsFix& fix, double dayNumber, char* buffer, size_t capacity);

// Waypoint line; `local` holds the local date and time of `fix`:
//   -1                    number: none assigned
//   W261206-035645        name: "W", local yymmdd-hhmmss
//   51.47788000           latitude, north positive
//   -0.00147000           longitude, east positive
//   46362.12273727        UTC day number
//   0,1,3,0,65535         symbol, status, display format, colours
//   Created_by_Pathmere   description
//   0,0,0.00000           pointer direction, display format, proximity
//   115.49 | -777         altitude in feet, -777 when unknown
//   " \r\n"               a blank before the line end
// The name rounds to the nearest second (59.5 gives 60); the track's time
// column truncates.
size_t ComposeWaypointLine(const GpsFix& fix, const GpsFix& local, double dayNumber, char* buffer,
                           size_t capacity);

// The headers take the local date that names the day's file, the year
// two-digit, as DayFile's HeaderComposer does.

// Track header, 132 bytes, written into an empty file only:
//   OziExplorer Track Point File Version 2.1   file type
//   WGS 84                                      datum
//   Altitude is in Feet
//   Reserved 3
//   0,3,255,Track-2026-12-06,0,0,0,255          width 3, colour 255, local date
//   "0" and ten blanks                          point count, never updated
size_t ComposeTrackHeader(int32_t day, int32_t month, int32_t twoDigitYear, char* buffer, size_t capacity);

// Route header, 107 bytes, written into an empty file only:
//   OziExplorer Route File Version 1.0
//   WGS 84                                    datum
//   Reserved 1
//   Reserved 2
//   R,1,R261206,Track 06.12.2026,16711680     route 1, name and description
//                                             from the local date, colour FF0000
size_t ComposeRouteHeader(int32_t day, int32_t month, int32_t twoDigitYear, char* buffer, size_t capacity);

// Waypoint header, 71 bytes, the same every day; written over the start of a
// file shorter than 72 bytes (so a file holding only the header gets it once
// more):
//   OziExplorer Waypoint File Version 1.0
//   WGS 84
//   Reserved 2
//   Reserved 3
size_t ComposeWaypointHeader(int32_t day, int32_t month, int32_t twoDigitYear, char* buffer, size_t capacity);

}  // namespace pathmere
