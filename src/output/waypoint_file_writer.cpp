#include "output/waypoint_file_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "fix/fix_time.h"
#include "fix/units.h"
#include "text/safe_convert.h"

namespace pathmere {
namespace {

constexpr char kHeader[] = "OziExplorer Waypoint File Version 1.0\r\nWGS 84\r\nReserved 2\r\nReserved 3\r\n";
constexpr char kWaypointSaved[] = "(%u) Waypoint saved. \r\n";

}  // namespace

WaypointFileWriter::WaypointFileWriter(FileSystem& files, MessageLog& log)
    : DayFile(files, log, "wpt", HeaderRule::kOverShortFile, headerScratch_) {
  // A power cut can still cut the page cache's last waypoint line.
  StartNewLinesOnTheirOwnLine();
}

// Waypoint header, 71 bytes, written over the start of a file shorter than
// 72 bytes (so a file holding only the header gets it once more):
//   OziExplorer Waypoint File Version 1.0
//   WGS 84
//   Reserved 2
//   Reserved 3
size_t WaypointFileWriter::ComposeHeader(char* scratch, size_t capacity) const {
  const size_t length = sizeof kHeader - 1 < capacity ? sizeof kHeader - 1 : capacity - 1;
  std::memcpy(scratch, kHeader, length);
  scratch[length] = '\0';
  return length;
}

int WaypointFileWriter::SaveWaypoint(const GpsFix& fix) {
  GpsFix local;
  UtcToLocal(fix, &local);
  SetFileDate(local.day, local.month, local.year);
  const double dayNumber =
      FixTimeToDays(fix.day, fix.month, 2000u + fix.year, fix.hour, fix.minute, 0) + fix.seconds / 86400.0;
  // The name rounds to the nearest second (59.5 gives 60); the track's time
  // column truncates.
  const int32_t nameSeconds = TruncateToInt32(std::floor(fix.seconds + 0.5));

  // Waypoint line:
  //   -1                    number: none assigned
  //   W261206-035645        name: "W", local yymmdd-hhmmss
  //   51.47788000           latitude, north positive
  //   -0.00147000           longitude, east positive
  //   46362.12273727        UTC day number since 1899-12-30 with fraction
  //   0,1,3,0,65535         symbol, status, display format, colours
  //   Created_by_Pathmere   description
  //   0,0,0.00000           pointer direction, display format, proximity
  //   115.49 | -777         altitude in feet, -777 when unknown
  //   " \r\n"               a blank before the line end
  // A line that absurd values make longer than 256 bytes is not written at
  // all rather than cut.
  int length;
  if (HasAltitude(fix)) {
    length = std::snprintf(line_, kLineSize,
                           "-1,W%02d%02d%02d-%02d%02d%02d,%.8f,%.8f,%.8f,0,1,3,0,65535,Created_by_Pathmere,"
                           "0,0,0.00000,%.2f \r\n",
                           local.year, local.month, local.day, local.hour, local.minute, nameSeconds,
                           fix.latitude, fix.longitude, dayNumber, fix.altitude * kFeetPerMetre);
  } else {
    length = std::snprintf(line_, kLineSize,
                           "-1,W%02d%02d%02d-%02d%02d%02d,%.8f,%.8f,%.8f,0,1,3,0,65535,Created_by_Pathmere,"
                           "0,0,0.00000,-777 \r\n",
                           local.year, local.month, local.day, local.hour, local.minute, nameSeconds,
                           fix.latitude, fix.longitude, dayNumber);
  }
  if (length < 0 || static_cast<size_t>(length) >= kLineSize) line_[0] = '\0';

  const int code = WriteLine();
  if (code != kWriteOk) return code;
  Post(kWaypointSaved);
  return kWriteOk;
}

int WaypointFileWriter::WriteLine() {
  if (line_[0] == '\0') return kNothingToWrite;
  return WriteToDayFile(line_, static_cast<uint32_t>(std::strlen(line_)));
}

}  // namespace pathmere
