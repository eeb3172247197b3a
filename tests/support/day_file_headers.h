#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// The headers of the day files as map programs expect them, written out
// once for every test (and the fuzz targets) to compare against.
namespace pathmere::testing {

inline constexpr std::string_view kTrackFirstLine = "OziExplorer Track Point File Version 2.1\r\n";
inline constexpr std::string_view kRouteFirstLine = "OziExplorer Route File Version 1.0\r\n";
inline constexpr std::string_view kWaypointHeader =
    "OziExplorer Waypoint File Version 1.0\r\nWGS 84\r\nReserved 2\r\nReserved 3\r\n";

// The track header of a local day; `year` with four digits.
inline std::string TrackHeader(int year, int month, int day) {
  char text[256];
  std::snprintf(text, sizeof text,
                "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
                "0,3,255,Track-%04d-%02d-%02d,0,0,0,255\r\n0          \r\n",
                year, month, day);
  return text;
}

// The route header of a local day; `year` with four digits.
inline std::string RouteHeader(int year, int month, int day) {
  char text[256];
  std::snprintf(text, sizeof text,
                "OziExplorer Route File Version 1.0\r\nWGS 84\r\nReserved 1\r\nReserved 2\r\n"
                "R,1,R%02d%02d%02d,Track %02d.%02d.%04d,16711680\r\n",
                year % 100, month, day, day, month, year);
  return text;
}

}  // namespace pathmere::testing
