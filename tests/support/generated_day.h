#pragma once

#include <string>

#include "output/gpx_lines.h"
#include "output/ozi_lines.h"
#include "support/day_file_headers.h"
#include "support/writer_bench.h"

namespace pathmere::testing {

// A day's .plt whose numbers are known: from 12:00 UTC on 2026-12-<day>,
// 10 minutes north from 51.5 N 0 E at 50 km/h, 5 minutes standing, 10 more
// minutes on, one point a second at 100 m climbing to 150 m. Moving time
// 20 minutes, one stop of 5 minutes at 12:10:00, 16.67 km.
// Its .plt, or with `gpx` its GPX file, where the receiver reports the
// speed it moves at but for 5 seconds from 12:01:40 at 61.2 km/h.
inline std::string DriveWithStopTrackFile(int day = 6, bool gpx = false) {
  constexpr double kMetresPerDegree = 111195.0;
  char line[640];
  std::string text = TrackHeader(2026, 12, day);
  if (gpx) {
    const GpsFix first = FixAt(day, 12, 26, 12, 0, 0.0);
    text.assign(line, ComposeGpxHead("test", first, line, sizeof line));
    text.append(line, ComposeGpxTrackStart(day, 12, 26, line, sizeof line));
    text += kGpxSegmentStart;
  }
  double north = 0.0;
  for (int second = 0; second <= 1500; ++second) {
    const bool moving = second > 0 && (second <= 600 || second > 900);
    if (moving) north += 50.0 / 3.6;
    GpsFix fix = FixAt(day, 12, 26, 12 + second / 3600, second / 60 % 60, second % 60,
                       51.5 + north / kMetresPerDegree, 0.0, 100.0 + second / 30.0);
    fix.speed = second >= 100 && second < 105 ? 61.2 : (moving ? 50.0 : 0.0);
    text.append(line, gpx ? ComposeGpxTrackPoint(fix, true, line, sizeof line)
                          : ComposeTrackPointLine(fix, 46356.5 + day + second / 86400.0, line, sizeof line));
  }
  if (gpx) text += GpxClosingTags(true);
  return text;
}

}  // namespace pathmere::testing
