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
  if (line_[0] == '\0') return kNothingToWrite;
  // Straight to the file while nothing waits before it.
  const bool first = kept_.empty();
  const int code = first ? WriteLine() : kWriteOk;
  if (first && code == kWriteOk) {
    file_.Post(kWaypointSaved);
    return kWriteOk;
  }
  if (kept_.size() >= kMostKept) kept_.pop_front();
  kept_.push_back({local.day, local.month, local.year, line_});
  return first ? code : WriteKept();
}

int WaypointFileWriter::WriteKept() {
  const int32_t day = file_.fileDay(), month = file_.fileMonth(), year = file_.fileYear();
  int code = kWriteOk;
  while (!kept_.empty() && code == kWriteOk) {
    const Kept& waypoint = kept_.front();
    file_.SetFileDate(waypoint.day, waypoint.month, waypoint.year);
    code = file_.Write(waypoint.line);
    if (code == kWriteOk) {
      kept_.pop_front();
      file_.Post(kWaypointSaved);
    }
  }
  file_.SetFileDate(day, month, year);
  return code;
}

int WaypointFileWriter::RetryKept() { return kept_.empty() ? kWriteOk : WriteKept(); }

int WaypointFileWriter::WriteLine() {
  if (line_[0] == '\0') return kNothingToWrite;
  return file_.Write({line_, std::strlen(line_)});
}

}  // namespace pathmere
