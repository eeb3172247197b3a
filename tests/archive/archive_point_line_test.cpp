// The archive's own reading of a track point line against the day files'
// reader it stands in for: the same point in whole units, or no point.
#include "archive/archive_point_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/ozi_line_reader.h"

namespace pathmere {
namespace {

TEST(ArchivePointLineTest, ReadsWhatTheDayFileReaderReads) {
  const char* const lines[] = {
      "48.13710000, 11.57541000,0, 1706.04, 42370.29166667, 01.01.16, 07:00:00\r\n",
      "-33.86000000,151.20930000,1,-12.5,46000.5,x,y",
      "  0.5 ,-0.00000001 ,0,  -777 , 1.0 , , ",   // unknown altitude, blanks
      "48.1,11.5,0,-777.00,42370.5,a,b\n",         // unknown in hundredths
      "90.00000000,-180.00000000,0,0,110000,a,b",  // the edges
      "90.00000001,0,0,0,42370.5,a,b",             // beyond them
      "0,180.00000001,0,0,42370.5,a,b",
      "0,0,0,0,0.99999999,a,b",
      "0,0,0,0,110000.00000001,a,b",
      "48.137100001,11.5,0,1706.04,42370.5,a,b",  // more decimals than units
      "48.13710000 ,11.5754100 ,0,1,42370.29166667 ,a,b",
      "48.1371000:,11.5,0,1,42370.5,a,b",
      "48.1,11.5,0,1,42370.2916666/,a,b",
      "48.1,11.5,0,1706.045,42370.291666666666,a,b",
      "4.81e1,11.5,0,1e3,42370.5,a,b",
      "48.1,11.5,0,123456789012.5,42370.5,a,b",  // held altitude
      "48.1,11.5,0,,42370.5,a,b",
      "48.1,11.5,0,nan,42370.5,a,b",
      "48.,11.5,0,1,42370.5,a,b",
      ".5,11.5,0,1,42370.5,a,b",
      "+48.1,11.5,0,1,42370.5,a,b",
      "-,11.5,0,1,42370.5,a,b",
      "48.1,11.5,0,1,42370.5,a",
      "48.1,11.5,0,1,42370.5,a,b,c",
      "48.1\t,11.5,0,1,42370.5,a,b",
      "0001234.5,11.5,0,1,42370.5,a,b",
      "OziExplorer Track Point File Version 2.1\r\n",
      "",
  };
  // The same points from the lines in one text, each ended by an LF.
  std::string text;
  std::vector<ArchivePoint> one;
  for (std::string_view line : lines) {
    text.append(line.substr(0, line.find('\n'))).append("\n");
    ArchivePoint got;
    if (ParseArchivePointLine(line, &got)) one.push_back(got);
  }
  std::vector<ArchivePoint> all;
  EXPECT_EQ(ParseArchivePoints(text + "48.1,11.5,0,1,42370.5,a,b", &all), text.size());
  EXPECT_EQ(all, one);

  for (const char* line : lines) {
    TrackLine parsed;
    const bool expected = ParseTrackPointLine(line, &parsed);
    ArchivePoint got;
    EXPECT_EQ(ParseArchivePointLine(line, &got), expected) << line;
    if (expected) {
      EXPECT_EQ(got, ArchivePointOf(parsed.latitude, parsed.longitude, parsed.dayNumber, parsed.hasAltitude,
                                    parsed.altitudeFeet))
          << line;
    }
  }
}

}  // namespace
}  // namespace pathmere
