#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/ozi_line_reader.h"

namespace pathmere {

// A finished day's Ozi files as read back, for one complete GPX document.
struct OziDay {
  int32_t day = 0;  // the local date that names the files
  int32_t month = 0;
  int32_t year = 0;  // four-digit
  std::vector<TrackLine> track;
  std::vector<RouteLine> route;
  std::vector<WaypointLine> waypoints;
};

// A line of a day file that is neither a header line nor a point: its
// number (from 1) and the file's extension.
struct UnreadLine {
  std::string_view extension;
  size_t number = 0;
};

// Adds the points of a .plt, .rte or .wpt file's text to `day` (`extension`
// without the dot says which) and returns the lines that were not headers
// and could not be read; empty lines are passed over.
std::vector<UnreadLine> AddOziFileText(std::string_view extension, std::string_view text, OziDay* day);

// The day as GPX 1.1 (gpx_lines.h): the waypoints, the route as <rte>, then
// the track, broken into segments where the track view breaks it. The Ozi
// files keep no speed, course, satellites or HDOP, so those are left out.
// The metadata time is the day's first point's, else midnight UTC of the
// day. `version` names the program in `creator`.
std::string ComposeGpxDocument(const char* version, const OziDay& day);

}  // namespace pathmere
