#pragma once

#include <string>
#include <string_view>

#include "app/day_track_feed.h"
#include "platform/file_system.h"

namespace pathmere {

class Program;

// The points a running logger still holds in memory, as it hands them to
// `pathmere-cli summary` over the instance channel, so that the command
// counts today's last minutes as the track view does. The text:
//   pathmere pending points 1\n
//   folder <bytes>\n<the output folder's host path>\n
//   track <yyyy-mm-dd or -> <bytes>\n<the lines>\n
//   route ... and gpx ... alike
std::string ComposePendingPoints(const Program& program, FileSystem& files);

struct PendingPoints {
  std::string folder;  // host path
  LocalDate trackDate;
  std::string track;
  LocalDate routeDate;
  std::string route;
  LocalDate gpxDate;
  std::string gpx;

  PendingDay View() const { return {trackDate, track, routeDate, route, gpxDate, gpx}; }
};
// False, and `out` unchanged, for a text that is not one of these whole.
bool ParsePendingPoints(std::string_view text, PendingPoints* out);

}  // namespace pathmere
