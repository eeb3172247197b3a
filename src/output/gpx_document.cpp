#include "output/gpx_document.h"

#include <cstring>

#include "fix/gps_fix.h"
#include "fix/track_pieces.h"
#include "fix/units.h"
#include "output/gpx_lines.h"

namespace pathmere {
namespace {

// Header lines before the points: the .plt has six and the .wpt four; the
// .rte has four, and its "R," lines start each route.
size_t HeaderLines(std::string_view extension) {
  if (extension == "plt") return 6;
  return 4;
}

GpsFix FixAt(double latitude, double longitude, double dayNumber) {
  GpsFix fix;
  fix.latitude = latitude;
  fix.longitude = longitude;
  fix.altitude = kUnknownAltitude;
  fix.satellites = kUnknownSatellites;
  fix.hdop = kUnknownHdop;
  DayNumberToFixTime(dayNumber, &fix);
  return fix;
}

}  // namespace

std::vector<UnreadLine> AddOziFileText(std::string_view extension, std::string_view text, OziDay* day) {
  std::vector<UnreadLine> unread;
  size_t number = 0;
  const size_t header = HeaderLines(extension);
  auto take = [&](std::string_view line) {
    ++number;
    std::string_view bare = line;
    while (!bare.empty() && (bare.back() == '\r' || bare.back() == '\n' || bare.back() == ' '))
      bare.remove_suffix(1);
    if (number <= header || bare.empty()) return;
    bool read = false;
    if (extension == "plt") {
      TrackLine point;
      if ((read = ParseTrackPointLine(line, &point))) day->track.push_back(point);
    } else if (extension == "rte") {
      RouteLine point;
      read = bare.starts_with("R,");
      if (!read && (read = ParseRoutePointLine(line, &point))) day->route.push_back(point);
    } else {
      WaypointLine point;
      if ((read = ParseWaypointLine(line, &point))) day->waypoints.push_back(point);
    }
    if (!read) unread.push_back({extension, number});
  };
  const size_t used = ForEachWholeLine(text, take);
  // A last line without its line end is read too.
  if (used < text.size()) take(text.substr(used));
  return unread;
}

std::string ComposeGpxDocument(const char* version, const OziDay& day) {
  std::string out;
  out.reserve(256 + day.track.size() * 140 + day.waypoints.size() * 160 + day.route.size() * 120);
  char buffer[640];

  GpsFix first;
  first.year = static_cast<uint8_t>(day.year - 2000);
  first.month = static_cast<uint8_t>(day.month);
  first.day = static_cast<uint8_t>(day.day);
  if (!day.track.empty()) {
    first = FixAt(0.0, 0.0, day.track.front().dayNumber);
  } else if (!day.waypoints.empty()) {
    first = FixAt(0.0, 0.0, day.waypoints.front().dayNumber);
  } else if (!day.route.empty()) {
    first = FixAt(0.0, 0.0, day.route.front().dayNumber);
  }
  out.append(buffer, ComposeGpxHead(version, first, buffer, sizeof buffer));

  for (const WaypointLine& waypoint : day.waypoints) {
    GpsFix fix = FixAt(waypoint.latitude, waypoint.longitude, waypoint.dayNumber);
    if (waypoint.hasAltitude) fix.altitude = waypoint.altitudeFeet / kFeetPerMetre;
    out.append(buffer, ComposeGpxWaypoint(fix, waypoint.name, buffer, sizeof buffer));
  }
  if (!day.route.empty()) {
    // The route is named by the day as the track is: "<rte><name>...".
    const size_t length = ComposeGpxTrackStart(day.day, day.month, day.year - 2000, buffer, sizeof buffer);
    if (length > 5) std::memcpy(buffer, "<rte>", 5);
    out.append(buffer, length);
    for (const RouteLine& point : day.route) {
      const GpsFix fix = FixAt(point.latitude, point.longitude, point.dayNumber);
      // A line without a name keeps its number as the name.
      const std::string name = point.name.empty() ? std::to_string(point.number) : point.name;
      out.append(buffer, ComposeGpxRoutePoint(fix, name, buffer, sizeof buffer));
    }
    out.append("</rte>\n");
  }

  out.append(buffer, ComposeGpxTrackStart(day.day, day.month, day.year - 2000, buffer, sizeof buffer));
  bool open = false;
  double previous = 0.0;
  for (const TrackLine& point : day.track) {
    GpsFix fix = FixAt(point.latitude, point.longitude, point.dayNumber);
    if (point.hasAltitude) fix.altitude = point.altitudeFeet / kFeetPerMetre;
    const size_t length = ComposeGpxTrackPoint(fix, false, buffer, sizeof buffer);
    if (length == 0) continue;
    if (StartsTrackPiece(!open, (point.dayNumber - previous) * 86400.0)) {
      if (open) out.append(kGpxSegmentEnd);
      out.append(kGpxSegmentStart);
      open = true;
    }
    previous = point.dayNumber;
    out.append(buffer, length);
  }
  out.append(GpxClosingTags(open));
  return out;
}

}  // namespace pathmere
