#pragma once

#include <string_view>

namespace pathmere {

// What the summary needs of a day's GPX track point line (gpx_lines.h): its
// time and the receiver's speed. Only a line of ours with both, the time a
// real UTC time of the years 2000 to 2255 with "Z", and the speed a finite
// number within a receiver's range, gives true; anything else leaves `out`
// as it was.
struct GpxPointSpeed {
  double dayNumber = 0.0;  // UTC, days since 1899-12-30
  double metresPerSecond = 0.0;
};
bool ParseGpxPointSpeed(std::string_view line, GpxPointSpeed* out);

}  // namespace pathmere
