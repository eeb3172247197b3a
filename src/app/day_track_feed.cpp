#include "app/day_track_feed.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "output/gpx_file_writer.h"
#include "output/track_file_writer.h"
#include "route/route_file_writer.h"

namespace pathmere {
namespace {

// The files that name a day; its GPX file alone does not.
constexpr const wchar_t* kExtensions[] = {L"plt", L"rte", L"wpt"};

// The GPX file's closing tags (gpx_lines.h), which the writer overwrites.
bool IsClosingTag(std::string_view line) {
  return line == "</trkseg>" || line == "</trk>" || line == "</gpx>";
}

// Bytes of closing-tag lines at the end of `lines` (whole lines).
size_t ClosingTailBytes(std::string_view lines) {
  size_t tail = 0;
  while (tail < lines.size()) {
    const std::string_view before = lines.substr(0, lines.size() - tail - 1);
    const size_t start = before.rfind('\n') + 1;  // npos + 1 is 0
    if (!IsClosingTag(before.substr(start))) break;
    tail = lines.size() - start;
  }
  return tail;
}

bool Digits(std::wstring_view text, int32_t* value) {
  int32_t number = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    number = number * 10 + (c - L'0');
  }
  *value = number;
  return !text.empty();
}

std::wstring DayFilePath(std::wstring_view folder, LocalDate date, const wchar_t* extension) {
  wchar_t name[32];
  std::swprintf(name, 32, L"\\%04d-%02d-%02d.%ls", static_cast<int>(date.year % 10000),
                static_cast<int>(date.month), static_cast<int>(date.day), extension);
  return std::wstring(folder) + name;
}

LocalDate DateOf(const DayFile& file) { return {2000 + file.fileYear(), file.fileMonth(), file.fileDay()}; }

}  // namespace

std::optional<LocalDate> DateOfDayFile(std::wstring_view fileName) {
  // yyyy-mm-dd.ext
  if (fileName.size() != 14 || fileName[4] != L'-' || fileName[7] != L'-' || fileName[10] != L'.') {
    return std::nullopt;
  }
  const std::wstring_view extension = fileName.substr(11);
  if (std::none_of(std::begin(kExtensions), std::end(kExtensions),
                   [&](const wchar_t* known) { return extension == known; })) {
    return std::nullopt;
  }
  LocalDate date;
  if (!Digits(fileName.substr(0, 4), &date.year) || !Digits(fileName.substr(5, 2), &date.month) ||
      !Digits(fileName.substr(8, 2), &date.day) || !date.IsSet()) {
    return std::nullopt;
  }
  return date;
}

std::vector<LocalDate> DaysWithFiles(FileSystem& files, std::wstring_view folder) {
  std::vector<FileSystem::FolderEntry> entries;
  std::vector<LocalDate> days;
  if (!files.ListFolder(folder, &entries)) return days;
  for (const FileSystem::FolderEntry& entry : entries) {
    if (entry.isDirectory) continue;
    if (const std::optional<LocalDate> date = DateOfDayFile(entry.name)) days.push_back(*date);
  }
  std::sort(days.begin(), days.end());
  days.erase(std::unique(days.begin(), days.end()), days.end());
  return days;
}

LocalDate TodayLocal() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return {};
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

PendingDay PendingDayOf(const TrackFileWriter& track, const RouteFileWriter& route,
                        const GpxFileWriter& gpx) {
  PendingDay pending;
  // Until its first fix a writer has no day, and nothing pending.
  if (track.output().dayKey() >= 0) {
    pending.trackDate = DateOf(track.output().file());
    pending.trackLines = track.output().lines().View();
  }
  if (route.output().dayKey() >= 0) {
    pending.routeDate = DateOf(route.output().file());
    pending.routeLines = route.output().lines().View();
  }
  if (gpx.fill() > 0) {
    pending.gpxDate = DateOf(gpx.file().names());
    pending.gpxLines = std::string_view(gpx.pending(), static_cast<size_t>(gpx.fill()));
  }
  return pending;
}

DayTrackFeed::DayTrackFeed(FileSystem& files, std::wstring folder, LocalDate date)
    : files_(files), folder_(std::move(folder)), date_(date) {
  Restart();
}

void DayTrackFeed::Restart() {
  track_.Clear();
  cursors_.clear();
  // The GPX file first: its writer writes just before the track's, so each
  // point's speed is known when the point comes.
  cursors_.push_back({Kind::kGpx, DayFilePath(folder_, date_, L"gpx"), 0, {}});
  cursors_.push_back({Kind::kTrack, DayFilePath(folder_, date_, kExtensions[0]), 0, {}});
  cursors_.push_back({Kind::kRoute, DayFilePath(folder_, date_, kExtensions[1]), 0, {}});
  cursors_.push_back({Kind::kWaypoints, DayFilePath(folder_, date_, kExtensions[2]), 0, {}});
}

bool DayTrackFeed::Update(const PendingDay& pending) {
  const std::string_view track = pending.trackDate == date_ ? pending.trackLines : std::string_view();
  const std::string_view route = pending.routeDate == date_ ? pending.routeLines : std::string_view();
  const std::string_view gpx = pending.gpxDate == date_ ? pending.gpxLines : std::string_view();
  bool changed = track != pendingTrack_ || route != pendingRoute_ || gpx != pendingGpx_;

  // The pending lines were added last; they go, and come back below unless
  // they have reached the file meanwhile.
  track_.RollBack();
  bool shrunk = false;
  for (Cursor& cursor : cursors_) {
    const Growth growth = ReadNew(cursor);
    shrunk = growth == Growth::kShrunk;
    if (shrunk) break;
    changed = changed || growth == Growth::kGrown;
  }
  if (shrunk) {
    // Another program rewrote or removed a file: start over from nothing.
    Restart();
    for (Cursor& cursor : cursors_) ReadNew(cursor);
    changed = true;
  }
  track_.Checkpoint();
  pendingTrack_.assign(track);
  pendingRoute_.assign(route);
  pendingGpx_.assign(gpx);
  track_.AddGpxText(pendingGpx_);
  track_.AddTrackText(pendingTrack_);
  track_.AddRouteText(pendingRoute_);
  return changed;
}

DayTrackFeed::Growth DayTrackFeed::ReadNew(Cursor& cursor) {
  const FileHandle file = files_.OpenExistingForRead(cursor.path);
  if (file == kInvalidFile) return cursor.offset > 0 ? Growth::kShrunk : Growth::kNone;
  const int64_t size = files_.FileSize(file);
  const int64_t startOffset = cursor.offset;
  Growth growth = Growth::kNone;
  if (size != FileSystem::kSizeUnknown && size < cursor.offset) {
    growth = Growth::kShrunk;
  } else if (size > cursor.offset && files_.SeekTo(file, cursor.offset)) {
    char buffer[65536];
    uint32_t got = 0;
    while (files_.Read(file, buffer, sizeof buffer, &got) && got > 0) {
      cursor.offset += got;
      cursor.fragment.append(buffer, got);
      size_t used = 0;
      switch (cursor.kind) {
        case Kind::kTrack:
          used = track_.AddTrackText(cursor.fragment);
          break;
        case Kind::kRoute:
          used = track_.AddRouteText(cursor.fragment);
          break;
        case Kind::kWaypoints:
          used = track_.AddWaypointText(cursor.fragment);
          break;
        case Kind::kGpx: {
          used = track_.AddGpxText(cursor.fragment);
          const std::string_view lines = std::string_view(cursor.fragment).substr(0, used);
          const size_t tail = ClosingTailBytes(lines);
          cursor.closingTail = tail == lines.size() ? cursor.closingTail + static_cast<int64_t>(tail) : tail;
          break;
        }
      }
      cursor.fragment.erase(0, used);
      if (cursor.fragment.size() > kLongestLine) cursor.fragment.clear();
      growth = Growth::kGrown;
    }
    if (cursor.kind == Kind::kGpx) {
      // Read from the closing tags again next time, where the writer
      // continues; a line cut short is read whole then.
      cursor.offset -= cursor.closingTail + static_cast<int64_t>(cursor.fragment.size());
      cursor.fragment.clear();
      cursor.closingTail = 0;
      if (cursor.offset <= startOffset) growth = Growth::kNone;
    }
  }
  files_.Close(file);
  return growth;
}

}  // namespace pathmere
