#pragma once

#include <string>

#include "output/ozi_lines.h"
#include "support/day_file_headers.h"
#include "support/writer_bench.h"

namespace pathmere::testing {

// A day's .plt whose numbers are known: from 12:00 UTC on 2026-12-<day>,
// 10 minutes north from 51.5 N 0 E at 50 km/h, 5 minutes standing, 10 more
// minutes on, one point a second at 100 m climbing to 150 m. Moving time
// 20 minutes, one stop of 5 minutes at 12:10:00, 16.67 km.
inline std::string DriveWithStopTrackFile(int day = 6) {
  constexpr double kMetresPerDegree = 111195.0;
  std::string text = TrackHeader(2026, 12, day);
  double north = 0.0;
  for (int second = 0; second <= 1500; ++second) {
    if (second > 0 && (second <= 600 || second > 900)) north += 50.0 / 3.6;
    const GpsFix fix = FixAt(day, 12, 26, 12 + second / 3600, second / 60 % 60, second % 60,
                             51.5 + north / kMetresPerDegree, 0.0, 100.0 + second / 30.0);
    char line[128];
    ComposeTrackPointLine(fix, 46356.5 + day + second / 86400.0, line, sizeof line);
    text += line;
  }
  return text;
}

}  // namespace pathmere::testing
