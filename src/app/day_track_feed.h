#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/day_track.h"
#include "platform/file_system.h"

namespace pathmere {

class GpxFileWriter;
class RouteFileWriter;
class TrackFileWriter;

// A local date as the day files are named by it ("2026-12-06.plt").
struct LocalDate {
  int32_t year = 0;  // four digits
  int32_t month = 0;
  int32_t day = 0;

  bool IsSet() const { return month >= 1 && month <= 12 && day >= 1 && day <= 31; }
  auto operator<=>(const LocalDate&) const = default;
};

// The date a track, route or waypoint file is named by, or nothing for any
// other name.
std::optional<LocalDate> DateOfDayFile(std::wstring_view fileName);
// The days that have a track, route or waypoint file in `folder`, oldest
// first; none when the folder cannot be listed.
std::vector<LocalDate> DaysWithFiles(FileSystem& files, std::wstring_view folder);
// The machine's local date now.
LocalDate TodayLocal();

// The lines the writers still hold in memory, and the day they belong to.
struct PendingDay {
  LocalDate trackDate;
  std::string_view trackLines;
  LocalDate routeDate;
  std::string_view routeLines;
  LocalDate gpxDate;
  std::string_view gpxLines;
};
// Taken from the writers; a writer that has no day yet, or nothing pending,
// gives an unset date.
PendingDay PendingDayOf(const TrackFileWriter& track, const RouteFileWriter& route, const GpxFileWriter& gpx);

// One local day's track, route, waypoints and the receiver's speeds (from
// the day's GPX file): the day's files in `folder`
// are read once, and each Update reads only what they have gained since and
// takes the pending lines of that day anew, so the model is current to the
// last point without reading the files again.
class DayTrackFeed {
 public:
  // Bytes of a line without its end kept for the next update; beyond this a
  // file is not a day file, and the fragment is dropped.
  static constexpr size_t kLongestLine = 4096;

  DayTrackFeed(FileSystem& files, std::wstring folder, LocalDate date);

  // True when the model changed.
  bool Update(const PendingDay& pending);

  const DayTrack& track() const { return track_; }
  LocalDate date() const { return date_; }
  const std::wstring& folder() const { return folder_; }

 private:
  enum class Kind { kTrack, kRoute, kWaypoints, kGpx };
  struct Cursor {
    Kind kind;
    std::wstring path;
    int64_t offset = 0;
    std::string fragment;  // the start of a line not yet ended
    // Bytes of closing tags at the end of what was read: the GPX writer
    // writes its next points over them, so they are read again.
    int64_t closingTail = 0;
  };
  enum class Growth { kNone, kGrown, kShrunk };

  Growth ReadNew(Cursor& cursor);
  void Restart();

  FileSystem& files_;
  std::wstring folder_;
  LocalDate date_;
  DayTrack track_;
  std::vector<Cursor> cursors_;
  std::string pendingTrack_;
  std::string pendingRoute_;
  std::string pendingGpx_;
};

}  // namespace pathmere
