#include "output/gpx_file_writer.h"

#include <cstring>
#include <string_view>

#include "fix/fix_time.h"
#include "fix/track_pieces.h"
#include "output/gpx_lines.h"

namespace pathmere {

GpxFileWriter::GpxFileWriter(FileSystem& files, MessageLog& log, const char* version)
    : file_(files, log), version_(version) {
  lines_.Attach(area_, kDataAreaSize - GpxDayFile::kClosingRoom);
}

size_t GpxFileWriter::ComposeTrackStart(const DayFile& names, char* buffer, size_t capacity) const {
  return ComposeGpxTrackStart(names.fileDay(), names.fileMonth(), names.fileYear(), buffer, capacity);
}

void GpxFileWriter::StartDay(const GpsFix& local) {
  file_.names().SetFileDate(local.day, local.month, local.year);
  file_.Open();
  segmentOpen_ = file_.segmentOpen();
  firstOfRun_ = true;
}

void GpxFileWriter::DropPending() {
  lines_.Clear();
  segmentOpen_ = file_.segmentOpen();
  // The next point follows no point of the file's: it starts a segment.
  firstOfRun_ = true;
}

int GpxFileWriter::Flush() {
  if (lines_.fill() == 0) return kWriteOk;
  char head[kHeadScratchSize];
  char trackStart[kHeadScratchSize];
  const size_t headLength = ComposeGpxHead(version_, firstPending_, head, sizeof head);
  const size_t trackStartLength = ComposeTrackStart(file_.names(), trackStart, sizeof trackStart);
  const int code = file_.Append(area_, static_cast<size_t>(lines_.fill()), segmentOpen_, {head, headLength},
                                {trackStart, trackStartLength});
  if (code == kWriteOk) lines_.Clear();
  return code;
}

void GpxFileWriter::SetFolder(std::wstring_view path) {
  const std::wstring_view now(file_.names().folder());
  if (path.substr(0, path.find(L'\0')) == now) return;
  if (Flush() != kWriteOk) DropPending();
  file_.names().SetFolder(path);
  dayKey_ = -1;
  lastMinuteKey_ = -1;
}

int GpxFileWriter::FlushToMakeRoom() {
  const int code = Flush();
  if (code != kWriteOk) DropPending();
  return code;
}

int GpxFileWriter::AddPoint(const GpsFix& fix) {
  int result = kWriteOk;
  const int32_t minuteKey = MinuteKey(fix);
  if (minuteKey != lastMinuteKey_) {
    GpsFix local;
    UtcToLocal(fix, &local);
    const int32_t key = DayKey(local);
    if (key != dayKey_) {
      // The pending points belong to the day that has just ended.
      if (dayKey_ >= 0 && lines_.fill() != 0) {
        result |= Flush();
        lines_.Clear();
      }
      dayKey_ = key;
      StartDay(local);
    }
    lastMinuteKey_ = minuteKey;
    minuteDayNumber_ = FixTimeToDays(fix.day, fix.month, 2000u + fix.year, fix.hour, fix.minute, 0);
  }
  const double dayNumber = minuteDayNumber_ + fix.seconds / 86400.0;

  constexpr std::string_view kBetweenSegments = "</trkseg>\n<trkseg>\n";
  char line[kLineScratchSize];
  // The point first, so the segment tags before it are decided after any
  // flush it needs room from (a failed one changes them).
  const size_t point =
      ComposeGpxTrackPoint(fix, true, line + kBetweenSegments.size(), sizeof line - kBetweenSegments.size());
  // A position that is no real place has no GPX point.
  if (point == 0) return result;
  if (static_cast<size_t>(lines_.fill()) + kBetweenSegments.size() + point >= lines_.capacity()) {
    result |= FlushToMakeRoom();
  }
  const bool startsSegment = StartsTrackPiece(firstOfRun_, (dayNumber - lastDayNumber_) * 86400.0);
  std::string_view tags;
  if (startsSegment) tags = segmentOpen_ ? kBetweenSegments : kGpxSegmentStart;
  char* from = line + kBetweenSegments.size() - tags.size();
  // An empty view's data() may be null, which memcpy must never get.
  if (!tags.empty()) std::memcpy(from, tags.data(), tags.size());
  const size_t length = tags.size() + point;
  if (lines_.fill() == 0) firstPending_ = fix;
  lines_.Add([&](char* buffer, size_t capacity) {
    if (length >= capacity) return size_t{0};
    std::memcpy(buffer, from, length);
    buffer[length] = '\0';
    return length;
  });
  segmentOpen_ = true;
  firstOfRun_ = false;
  lastDayNumber_ = dayNumber;
  return result;
}

int GpxFileWriter::SaveWaypoint(const GpsFix& fix) {
  GpsFix local;
  UtcToLocal(fix, &local);
  char name[64];
  const size_t nameLength = ComposeWaypointName(fix, local, name, sizeof name);
  char line[kLineScratchSize];
  const size_t length = ComposeGpxWaypoint(fix, {name, nameLength}, line, sizeof line);
  if (length == 0) return kNothingToWrite;
  char head[kHeadScratchSize];
  char trackStart[kHeadScratchSize];
  const size_t headLength = ComposeGpxHead(version_, fix, head, sizeof head);
  if (DayKey(local) == dayKey_) {
    const size_t trackStartLength = ComposeTrackStart(file_.names(), trackStart, sizeof trackStart);
    return file_.InsertWaypoint({line, length}, {head, headLength}, {trackStart, trackStartLength});
  }
  // A day without track points yet in this run: its file on its own.
  GpxDayFile other(file_.files(), file_.log());
  other.names().SetFolder(file_.names().folder());
  other.SetSyncToDisk(file_.syncToDisk());
  other.names().SetFileDate(local.day, local.month, local.year);
  other.Open();
  const size_t trackStartLength = ComposeTrackStart(other.names(), trackStart, sizeof trackStart);
  return other.InsertWaypoint({line, length}, {head, headLength}, {trackStart, trackStartLength});
}

}  // namespace pathmere
