#include "output/gpx_file_writer.h"

#include <cstring>
#include <string>
#include <string_view>

#include "fix/fix_time.h"
#include "fix/track_pieces.h"
#include "output/gpx_lines.h"

namespace pathmere {
namespace {

// Kept lines were composed to follow the lines before them. Where some of
// those were dropped, or the lines go to another day's file, their first
// segment tags are made to fit the file they go to.
std::string FitSegmentStart(std::string_view lines, bool fileSegmentOpen) {
  constexpr std::string_view kSegmentEnd = "</trkseg>\n";
  const bool closes = lines.starts_with(kSegmentEnd);
  const std::string_view rest = closes ? lines.substr(kSegmentEnd.size()) : lines;
  const bool opens = rest.starts_with(kGpxSegmentStart);
  std::string fitted;
  fitted.reserve(lines.size() + kSegmentEnd.size() + GpxDayFile::kClosingRoom);
  if (fileSegmentOpen) {
    if (!closes && opens) fitted.append(kSegmentEnd);
    fitted.append(lines);
  } else {
    if (!opens) fitted.append(kGpxSegmentStart);
    fitted.append(rest);
  }
  return fitted;
}

}  // namespace

GpxFileWriter::GpxFileWriter(FileSystem& files, MessageLog& log, const char* version)
    : file_(files, log), otherDay_(files, log), version_(version) {
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

void GpxFileWriter::Spill() {
  if (lines_.fill() == 0) return;
  char head[kHeadScratchSize];
  const size_t headLength = ComposeGpxHead(version_, firstPending_, head, sizeof head);
  const DayFile& names = file_.names();
  spill_.Push({names.fileDay(), names.fileMonth(), names.fileYear()}, lines_.View(), segmentOpen_,
              {head, headLength});
}

int GpxFileWriter::WriteKept() {
  while (!spill_.empty()) {
    const SpillQueue::Batch& batch = spill_.front();
    const DayFile& names = file_.names();
    const bool today =
        dayKey_ >= 0 && batch.date == SpillQueue::Date{names.fileDay(), names.fileMonth(), names.fileYear()};
    GpxDayFile& target = today ? file_ : otherDay_;
    if (!today) {
      otherDay_.names().SetFolder(names.folder());
      otherDay_.SetSyncToDisk(file_.syncToDisk());
      otherDay_.names().SetFileDate(batch.date.day, batch.date.month, batch.date.year);
      otherDay_.Open();
    }
    std::string lines = FitSegmentStart(batch.text, target.segmentOpen());
    const size_t length = lines.size();
    lines.resize(length + GpxDayFile::kClosingRoom);
    char trackStart[kHeadScratchSize];
    const size_t trackStartLength = ComposeTrackStart(target.names(), trackStart, sizeof trackStart);
    const int code = target.Append(lines.data(), length, batch.segmentOpenAfter, batch.head,
                                   {trackStart, trackStartLength});
    if (code != kWriteOk) return code;
    spill_.PopFront();
  }
  int result = kWriteOk;
  while (!waypointsKept_.empty()) {
    const int code = WriteWaypoint(waypointsKept_.front());
    if (code != kWriteOk && code != kNothingToWrite) return code;
    // One that no line can be made of is not kept.
    result = code;
    waypointsKept_.erase(waypointsKept_.begin());
  }
  return result;
}

int GpxFileWriter::RetryKept() {
  const bool kept = !spill_.empty() || !waypointsKept_.empty() ||
                    (lines_.fill() != 0 && file_.names().lastWriteCode() != kWriteOk);
  return kept ? Flush() : kWriteOk;
}

int GpxFileWriter::Flush() {
  const int kept = WriteKept();
  if (kept != kWriteOk && kept != kNothingToWrite) return kept;
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
  if (Flush() != kWriteOk) {
    Spill();
    DropPending();
  }
  file_.names().SetFolder(path);
  dayKey_ = -1;
  lastMinuteKey_ = -1;
}

int GpxFileWriter::FlushToMakeRoom() {
  const int code = Flush();
  if (code != kWriteOk) {
    // Kept as if written: the next points follow them.
    Spill();
    lines_.Clear();
  }
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
        const int code = Flush();
        if (code != kWriteOk) Spill();
        result |= code;
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
  // Straight to the file while nothing waits before it; else behind the
  // ones kept, so they stay in order.
  const bool first = spill_.empty() && waypointsKept_.empty();
  const int code = first ? WriteWaypoint(fix) : kWriteOk;
  if (first && (code == kWriteOk || code == kNothingToWrite)) return code;
  if (waypointsKept_.size() >= kMostWaypointsKept) waypointsKept_.erase(waypointsKept_.begin());
  waypointsKept_.push_back(fix);
  return first ? code : WriteKept();
}

int GpxFileWriter::WriteWaypoint(const GpsFix& fix) {
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
  otherDay_.names().SetFolder(file_.names().folder());
  otherDay_.SetSyncToDisk(file_.syncToDisk());
  otherDay_.names().SetFileDate(local.day, local.month, local.year);
  otherDay_.Open();
  const size_t trackStartLength = ComposeTrackStart(otherDay_.names(), trackStart, sizeof trackStart);
  return otherDay_.InsertWaypoint({line, length}, {head, headLength}, {trackStart, trackStartLength});
}

}  // namespace pathmere
