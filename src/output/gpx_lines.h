#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fix/gps_fix.h"

namespace pathmere {

// The pieces of a day's GPX 1.1 file, each composed into a buffer of
// `capacity` bytes (terminator included) that the caller supplies and ended
// with a NUL. As with the Ozi lines, a piece that does not fit is left out
// whole: the result is 0 and the buffer holds "".
//
// The file, one element per line, so that a cut can be mended at a line:
//   <?xml version="1.0" encoding="UTF-8"?>
//   <gpx version="1.1" creator="Pathmere 0.1" ...namespaces...>
//   <metadata><time>2026-12-06T02:56:44Z</time></metadata>
//   <wpt ...>...</wpt>                       the day's waypoints
//   <trk><name>2026-12-06</name>
//   <trkseg>
//   <trkpt ...>...</trkpt>                   the track points
//   </trkseg>
//   </trk>
//   </gpx>
//
// Numbers are plain decimals, never an exponent, NaN or infinity: a value
// that is not finite or beyond any receiver's range is left out with its
// element, and a point whose position is not a real place is left out whole.

// The first three lines. `version` names the program's version in `creator`;
// the metadata time is `fix`'s UTC time.
size_t ComposeGpxHead(const char* version, const GpsFix& fix, char* buffer, size_t capacity);

// "<trk><name>2026-12-06</name>\n" for the local date that names the file
// (year two-digit).
size_t ComposeGpxTrackStart(int32_t day, int32_t month, int32_t twoDigitYear, char* buffer, size_t capacity);

// Track point, in the schema's element order:
//   lat, lon      9 decimals; longitude in [-180, 180), so 180 reads -180
//   <ele>         metres above mean sea level as the receiver gives it
//                 (up to 3 decimals, trailing zeros dropped); none when unknown
//   <time>        UTC with "Z", milliseconds where the receiver sends a fraction
//   <sat>, <hdop> where known
//   <extensions>  speed in m/s and course in degrees true, as Garmin's
//                 TrackPointExtension v2, when `withMotion`
size_t ComposeGpxTrackPoint(const GpsFix& fix, bool withMotion, char* buffer, size_t capacity);

// Waypoint: position, <ele>, <time>, <name>, <sat>, <hdop>. The name's
// markup characters are escaped, and bytes that are not printable ASCII
// (another program's code page) read "?".
size_t ComposeGpxWaypoint(const GpsFix& fix, std::string_view name, char* buffer, size_t capacity);
// The .wpt's name of a waypoint, "W261206-035645", from `local`, the local
// time of `fix`, the second rounded.
size_t ComposeWaypointName(const GpsFix& fix, const GpsFix& local, char* buffer, size_t capacity);

// Route point of a finished day: position, <time>, <name> (the .rte line's,
// escaped as a waypoint's).
size_t ComposeGpxRoutePoint(const GpsFix& fix, std::string_view name, char* buffer, size_t capacity);

// What ends the file: the open segment's end when `segmentOpen`, then the
// track's and the document's.
inline constexpr std::string_view kGpxSegmentStart = "<trkseg>\n";
inline constexpr std::string_view kGpxSegmentEnd = "</trkseg>\n";
inline constexpr std::string_view kGpxDocumentEnd = "</trk>\n</gpx>\n";
inline std::string_view GpxClosingTags(bool segmentOpen) {
  return segmentOpen ? std::string_view("</trkseg>\n</trk>\n</gpx>\n") : kGpxDocumentEnd;
}
// The start every file of ours has, up to the creator's version.
inline constexpr std::string_view kGpxOwnPrefix =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"Pathmere";

// The UTC date and time of a day number (days since 1899-12-30) as a fix's
// fields, seconds with their fraction; false for a number no calendar of
// years 2000 to 2255 holds.
bool DayNumberToFixTime(double dayNumber, GpsFix* fix);

}  // namespace pathmere
