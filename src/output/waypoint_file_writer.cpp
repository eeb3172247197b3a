#include "output/waypoint_file_writer.h"

#include <cstring>

#include "fix/fix_time.h"
#include "output/ozi_lines.h"

namespace pathmere {
namespace {

constexpr DayFileKind kWaypointFile{"wpt", HeaderRule::kOverShortFile, ComposeWaypointHeader};
constexpr char kWaypointSaved[] = "(%u) Waypoint saved. \r\n";

}  // namespace

WaypointFileWriter::WaypointFileWriter(FileSystem& files, MessageLog& log)
    : file_(files, log, kWaypointFile) {}

int WaypointFileWriter::SaveWaypoint(const GpsFix& fix) {
  GpsFix local;
  UtcToLocal(fix, &local);
  file_.SetFileDate(local.day, local.month, local.year);
  const double dayNumber =
      FixTimeToDays(fix.day, fix.month, 2000u + fix.year, fix.hour, fix.minute, 0) + fix.seconds / 86400.0;
  // A line that absurd values make longer than its 256 bytes is not written
  // at all.
  ComposeWaypointLine(fix, local, dayNumber, line_, kLineSize);

  const int code = WriteLine();
  if (code != kWriteOk) return code;
  file_.Post(kWaypointSaved);
  return kWriteOk;
}

int WaypointFileWriter::WriteLine() {
  if (line_[0] == '\0') return kNothingToWrite;
  return file_.Write({line_, std::strlen(line_)});
}

}  // namespace pathmere
