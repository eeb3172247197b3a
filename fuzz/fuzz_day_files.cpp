// A day's .plt and .gpx files with arbitrary content, read by the track
// view's feed as they grow: first a part of each with the rest still
// pending in the writers' memory, then the rest written on. The summary is
// taken of what was read; the text a running logger hands `summary` is
// parsed from the same input.
//
// Checked besides the sanitizers: the summary's numbers are finite and not
// negative and its times add up; every point's receiver speed is none or a
// real one; and, where no line is longer than a day file can hold, reading
// the files as they grew gives the same day as reading them once at the end;
// and the archive index reads each line as the day files' reader does.
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "app/day_summary.h"
#include "app/day_track_feed.h"
#include "app/pending_points.h"
#include "archive/archive_point_line.h"
#include "fuzz_support.h"
#include "output/ozi_line_reader.h"
#include "platform/file_system_posix.h"

namespace {

using namespace pathmere;

constexpr LocalDate kDay{2026, 12, 6};

void Append(const char* name, std::string_view text) {
  std::ofstream out(fuzzing::ScratchFolder() / name, std::ios::binary | std::ios::app);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) fuzzing::Fail("cannot write the scratch file");
}

bool HasLongLine(std::string_view text) {
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n', start)) {
    if (end - start > DayTrackFeed::kLongestLine / 2) return true;
    start = end + 1;
  }
  return text.size() - start > DayTrackFeed::kLongestLine / 2;
}

void CheckSane(const DaySummary& s) {
  for (const double value : {s.distanceMetres, s.totalSeconds, s.movingSeconds, s.stoppedSeconds,
                             s.withoutPointsSeconds, s.maxSpeed, s.ascentMetres, s.descentMetres}) {
    if (!std::isfinite(value) || value < 0.0) fuzzing::Fail("a summary number is negative or not finite");
  }
  const double parts = s.movingSeconds + s.stoppedSeconds + s.withoutPointsSeconds;
  if (std::fabs(s.totalSeconds - parts) > 1e-6 * (1.0 + s.totalSeconds)) fuzzing::Fail("times do not add up");
  for (const DayStop& stop : s.stops) {
    if (!(stop.seconds >= PauseRules::kStopSeconds)) fuzzing::Fail("a stop shorter than a stop");
  }
}

void CheckSpeeds(const DayTrack& track) {
  for (const DayTrackPoint& point : track.points()) {
    const double speed = track.receiverSpeeds().At(point.dayNumber);
    if (!(speed == -1.0 || (speed >= 0.0 && speed < 1e5))) fuzzing::Fail("a receiver speed out of range");
  }
}

void CheckArchiveLines(std::string_view text) {
  ForEachWholeLine(text, [](std::string_view line) {
    TrackLine parsed;
    ArchivePoint got;
    const bool expected = ParseTrackPointLine(line, &parsed);
    if (ParseArchivePointLine(line, &got) != expected ||
        (expected && !(got == ArchivePointOf(parsed.latitude, parsed.longitude, parsed.dayNumber,
                                             parsed.hasAltitude, parsed.altitudeFeet)))) {
      fuzzing::Fail("the archive reads a track line otherwise than the day files' reader");
    }
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
  PendingPoints handed;
  (void)ParsePendingPoints(input, &handed);

  // The first byte cuts the input into the .plt's and the .gpx's text, the
  // second each of those into what is written first and what is pending.
  const size_t cut = input.size() * data[0] / 256;
  const std::string_view track = input.substr(0, cut);
  const std::string_view gpx = input.substr(cut);
  const std::string_view trackFirst = track.substr(0, track.size() * data[1] / 256);
  const std::string_view gpxFirst = gpx.substr(0, gpx.size() * data[1] / 256);
  CheckArchiveLines(track);

  fuzzing::EmptyScratchFolder();
  Append("2026-12-06.plt", trackFirst);
  Append("2026-12-06.gpx", gpxFirst);
  PosixFileSystem files(fuzzing::ScratchFolder().string());
  DayTrackFeed growing(files, L"", kDay);
  PendingDay pending{kDay, track.substr(trackFirst.size()), {}, {}, kDay, gpx.substr(gpxFirst.size())};
  growing.Update(pending);
  CheckSane(SummariseDay(growing.track()));
  CheckSpeeds(growing.track());

  Append("2026-12-06.plt", track.substr(trackFirst.size()));
  Append("2026-12-06.gpx", gpx.substr(gpxFirst.size()));
  growing.Update({});
  const DaySummary grown = SummariseDay(growing.track());
  CheckSane(grown);
  CheckSpeeds(growing.track());

  DayTrackFeed once(files, L"", kDay);
  once.Update({});
  if (HasLongLine(input)) return 0;
  const DaySummary whole = SummariseDay(once.track());
  if (once.track().points().size() != growing.track().points().size() || whole.points != grown.points ||
      whole.distanceMetres != grown.distanceMetres || whole.maxSpeed != grown.maxSpeed) {
    fuzzing::Fail("the day read as it grew differs from the day read once");
  }
  return 0;
}
