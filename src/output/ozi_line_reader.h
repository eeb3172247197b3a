#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pathmere {

// The day files' lines read back (see ozi_lines.h for their fields), for
// showing a day that is already on disk. Only a line whose position is a
// real place and whose day number is a real time is taken: headers, lines
// cut short by a crash, "nan" fields and lines from other programs that do
// not fit the format give false and leave `out` as it was. `line` may end
// with CR LF or not.

struct TrackLine {
  double latitude = 0.0;
  double longitude = 0.0;
  double dayNumber = 0.0;  // UTC, days since 1899-12-30
  bool hasAltitude = false;
  double altitudeFeet = 0.0;
};
bool ParseTrackPointLine(std::string_view line, TrackLine* out);

struct RouteLine {
  int32_t number = 0;
  std::string name;  // as a waypoint's name; may be empty
  double latitude = 0.0;
  double longitude = 0.0;
  double dayNumber = 0.0;
};
bool ParseRoutePointLine(std::string_view line, RouteLine* out);

struct WaypointLine {
  std::string name;  // at most kWaypointNameLimit bytes of the name field
  double latitude = 0.0;
  double longitude = 0.0;
  double dayNumber = 0.0;
  bool hasAltitude = false;  // the 15th field, where a line has it
  double altitudeFeet = 0.0;
};
inline constexpr size_t kWaypointNameLimit = 40;
bool ParseWaypointLine(std::string_view line, WaypointLine* out);

// Calls `take(line)` for each whole line of `text` (ended by LF) and returns
// the bytes those lines span; a last line without its LF is left for later.
template <typename Take>
size_t ForEachWholeLine(std::string_view text, Take&& take) {
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n', start)) {
    take(text.substr(start, end - start));
    start = end + 1;
  }
  return start;
}

}  // namespace pathmere
