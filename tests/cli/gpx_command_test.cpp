// pathmere-cli gpx: finished Ozi days as GPX documents, and --mend.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "cli/gpx_command.h"
#include "output/gpx_file_writer.h"
#include "output/gpx_mend.h"
#include "support/child_process.h"
#include "support/gpx_checks.h"
#include "support/test_environment.h"
#include "support/writer_bench.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::RunCommand;

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

TEST(GpxCommandTest, OziDaysBecomeGpxDocumentsWithTheirRouteAndUnreadLinesAreTold) {
  const fs::path log = testing::RecordedLogFolder() / "opencpn-guernsey-rmc-ais.nmea";
  if (!fs::exists(log)) GTEST_SKIP() << "recorded logs not found";
  testing::TempFolder days;
  ASSERT_EQ(
      RunCommand({PATHMERE_CLI_PATH, "replay", log.string(), "--output", days.path().string(), "--no-gpx"},
                 {"TZ=Europe/Berlin"})
          .exitStatus,
      0);
  // A waypoint from another program, a line that is no point, a file no day names.
  WriteFile(days.path() / "2011-07-26.wpt",
            "OziExplorer Waypoint File Version 1.0\r\nWGS 84\r\nReserved 2\r\nReserved 3\r\n"
            "-1,Fort <George>,49.45,-2.53,40750.5,0,1,3,0,65535,,0,0,0,-777 \r\n"
            "-1,Castle Cornet,49.45,-2.53,40750.6,0,1,3,0,65535,,0,0,0,328.084 \r\n");
  std::ofstream(days.path() / "2011-07-26.plt", std::ios::app) << "not a point\r\n";
  WriteFile(days.path() / "notes.plt", "x");

  testing::TempFolder out;
  const auto result =
      RunCommand({PATHMERE_CLI_PATH, "gpx", "--output", out.path().string(), days.path().string()});
  EXPECT_EQ(result.exitStatus, 1) << result.err;  // the unnamed file
  EXPECT_NE(result.err.find("2011-07-26.plt:6405: not a track point, passed over"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("notes.plt: not named for a day"), std::string::npos) << result.err;
  EXPECT_NE(result.out.find("2011-07-26.gpx: 6398 track points, 255 route points, 2 waypoints"),
            std::string::npos)
      << result.out;
  for (const char* day : {"2011-07-26.gpx", "2011-07-27.gpx"}) {
    std::string problem;
    EXPECT_TRUE(testing::GpxIsValid(out.path() / day, &problem)) << problem;
  }
  const std::string document = testing::ReadWholeFile(out.path() / "2011-07-26.gpx");
  EXPECT_NE(document.find("<name>Fort &lt;George&gt;</name>"), std::string::npos);
  // The waypoint's altitude in feet, where the line has one, and the route
  // points' own names.
  EXPECT_NE(document.find("<ele>100</ele><time>2011-07-26T14:24:00Z</time><name>Castle Cornet</name>"),
            std::string::npos);
  const size_t fort = document.rfind("<wpt ", document.find("Fort &lt;George"));
  EXPECT_EQ(document.substr(fort, document.find('\n', fort) - fort).find("<ele>"), std::string::npos);
  EXPECT_NE(document.find("<time>2011-07-26T03:53:00Z</time><name>RRX001</name></rtept>"), std::string::npos);
  EXPECT_LT(document.find("<wpt "), document.find("<rte>"));
  EXPECT_LT(document.find("</rte>"), document.find("<trk>"));
  EXPECT_EQ(testing::GpxTrackPoints(document), 6398);

  // The same again leaves the documents alone.
  const auto again = RunCommand(
      {PATHMERE_CLI_PATH, "gpx", "--output", out.path().string(), (days.path() / "2011-07-27.plt").string()});
  EXPECT_EQ(again.exitStatus, 0);
  EXPECT_NE(again.out.find("exists, left alone"), std::string::npos) << again.out;
}

TEST(GpxCommandTest, MendCutsACutWriteBackAndPutsAForeignFileAside) {
  const fs::path log = testing::RecordedLogFolder() / "signalk-gps-1hz.nmea";
  if (!fs::exists(log)) GTEST_SKIP() << "recorded logs not found";
  testing::TempFolder out;
  ASSERT_EQ(
      RunCommand({PATHMERE_CLI_PATH, "replay", log.string(), "--output", out.path().string()}, {"TZ=UTC"})
          .exitStatus,
      0);
  const fs::path gpx = out.path() / "2014-04-03.gpx";
  const std::string whole = testing::ReadWholeFile(gpx);
  // Cut inside the last point.
  WriteFile(gpx, whole.substr(0, whole.size() - 80));
  WriteFile(out.path() / "2014-04-04.gpx", "<?xml version=\"1.0\"?>\n<gpx creator=\"other\"/>\n");
  const auto result = RunCommand({PATHMERE_CLI_PATH, "gpx", "--mend", out.path().string()});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.out.find("2014-04-03.gpx: mended"), std::string::npos) << result.out;
  EXPECT_NE(result.err.find("renamed to"), std::string::npos) << result.err;
  EXPECT_TRUE(fs::exists(out.path() / "2014-04-04.gpx.broken-1"));
  EXPECT_FALSE(fs::exists(out.path() / "2014-04-04.gpx"));
  std::string problem;
  EXPECT_TRUE(testing::GpxIsValid(gpx, &problem)) << problem;
  EXPECT_EQ(testing::GpxTrackPoints(testing::ReadWholeFile(gpx)), testing::GpxTrackPoints(whole) - 1);
  EXPECT_EQ(RunCommand({PATHMERE_CLI_PATH, "gpx", "--mend", gpx.string()}).out,
            gpx.string() + ": complete\n");
}

// A kill or a power cut can stop the writer at any byte of what it appends to
// the track. Whatever is left, `gpx --mend` and the next start keep every
// point that was whole, "</trkpt>" written with or without its line feed.
TEST(GpxCommandTest, ADayCutAtAnyByteOfItsTrackIsMendedKeepingEveryWholePoint) {
  testing::ScopedTimeZone berlin("Europe/Berlin");
  testing::WriterBench day;
  {
    GpxFileWriter writer(day.files, day.log, "0.1");
    writer.SaveWaypoint(testing::FixAt(6, 12, 26, 9, 0, 0.0));
    // Three appends, the last after a gap that starts a new segment.
    for (const double second : {0.0, 1.0, 2.5, 4.0, 5.0, 6.0, 40.0, 41.0}) {
      writer.AddPoint(testing::FixAt(6, 12, 26, 9, 1, second, 51.47788 + second * 1e-5));
      if (second == 2.5 || second == 6.0) {
        ASSERT_EQ(writer.Flush(), kWriteOk);
      }
    }
    ASSERT_EQ(writer.Flush(), kWriteOk);
  }
  const std::string whole = day.Read("2026-12-06.gpx");
  // The track's part: what follows the track's line, which the file's
  // first write puts in place whole.
  const size_t track = whole.find('\n', whole.find("<trk>")) + 1;
  ASSERT_GT(track, 0U);
  // The file with only its first `points` points, as mending must leave it.
  auto keeping = [&](int points) {
    size_t end = track;
    for (int n = 0; n < points; ++n) end = whole.find("</trkpt>\n", end) + 9;
    return whole.substr(0, end) + (points > 0 ? "</trkseg>\n</trk>\n</gpx>\n" : "</trk>\n</gpx>\n");
  };
  FILE* quiet = std::fopen("/dev/null", "w");
  ASSERT_NE(quiet, nullptr);
  testing::TempFolder cuts;
  const fs::path cut = cuts.path() / "2026-12-06.gpx";
  const GpxArguments mend{.paths = {cut.string()}, .outputDir = {}, .mend = true};
  int checkedPoints = -1;
  for (size_t at = track; at <= whole.size(); ++at) {
    const std::string left = whole.substr(0, at);
    int points = 0;
    for (size_t end = left.find("</trkpt>"); end != std::string::npos; end = left.find("</trkpt>", end + 1))
      ++points;
    const std::string expected = keeping(points);
    const std::string legend = "cut after byte " + std::to_string(at) + " of " + std::to_string(whole.size());

    const GpxShape shape = InspectGpx(left);
    EXPECT_TRUE(shape.own) << legend;
    EXPECT_EQ(left.substr(0, shape.keep) + std::string(GpxMendingTail(shape)), expected) << legend;
    // The command itself (which syncs what it writes) where a point lost
    // only its line feed, and after the last byte.
    if (left.ends_with("</trkpt>") || at == whole.size()) {
      WriteFile(cut, left);
      EXPECT_EQ(RunGpxCommand(mend, quiet, quiet), 0) << legend;
      EXPECT_EQ(testing::ReadWholeFile(cut), expected) << legend;
      EXPECT_FALSE(fs::exists(cuts.path() / "2026-12-06.gpx.broken-1")) << legend;
    }

    // The next start mends it the same way and goes on after the kept points.
    day.Write("2026-12-06.gpx", left);
    {
      GpxFileWriter writer(day.files, day.log, "0.1");
      writer.AddPoint(testing::FixAt(6, 12, 26, 10, 0, 0.0));
      EXPECT_EQ(writer.Flush(), kWriteOk) << legend;
    }
    const std::string continued = day.Read("2026-12-06.gpx");
    EXPECT_TRUE(continued.starts_with(expected.substr(0, expected.rfind("</trk")))) << legend;
    EXPECT_EQ(testing::GpxTrackPoints(continued), points + 1) << legend;
    EXPECT_FALSE(day.Exists("2026-12-06.gpx.broken-1")) << legend;

    if (points != checkedPoints) {
      // Each distinct result once through the schema.
      checkedPoints = points;
      std::string problem;
      WriteFile(cut, expected);
      EXPECT_TRUE(testing::GpxIsValid(cut, &problem)) << legend << problem;
      EXPECT_TRUE(testing::GpxIsValid(day.Folder() / "2026-12-06.gpx", &problem)) << legend << problem;
    }
  }
  EXPECT_EQ(checkedPoints, 8);
  std::fclose(quiet);
}

}  // namespace
}  // namespace pathmere
