#pragma once

#include <cstddef>

#include "fix/gps_fix.h"

namespace pathmere {

// The texts of the status area, composed into a fixed wide buffer of
// `capacity` characters (terminator included) and cut to fit: absurd values
// can print as hundreds of digits.

// An evaluated fix, `local` holding its local date and time:
//   "UTC:  06.12.26 12:00:30 \r\n"         date dd.mm.yy, time hh:mm:ss
//   "Local: 06.12.26 13:00:30 \r\n"        local date, the same second
//   "Lat:   48.137810 \r\n"                degrees, north positive
//   "Long: 11.575490\r\n"                  degrees, east positive
//   "Alt: 545.4\r\n" or "Alt: ???\r\n"    metres; ??? when unknown
//   "Speed:  12.5 km/h. Course: 84.4\r\n"  speed five wide
//   "Sat:  8  Hdop: 0.9 "                  satellites two wide; no line end
void ComposeFixStatus(const GpsFix& fix, const GpsFix& local, wchar_t* buffer, size_t capacity);

// A sentence without a valid fix: "UTC: hh:mm:ss \r\nNo fix\r\n".
void ComposeNoFixStatus(const GpsFix& fix, wchar_t* buffer, size_t capacity);

// The mark added below a fix the drop filter threw out.
void MarkDropped(wchar_t* buffer, size_t capacity);

}  // namespace pathmere
