// pathmere-cli gpx: finished Ozi days as GPX documents, and --mend.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/gpx_checks.h"
#include "support/test_environment.h"

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
            "-1,Fort <George>,49.45,-2.53,40750.5,0,1,3,0,65535,,0,0,0,-777 \r\n");
  std::ofstream(days.path() / "2011-07-26.plt", std::ios::app) << "not a point\r\n";
  WriteFile(days.path() / "notes.plt", "x");

  testing::TempFolder out;
  const auto result =
      RunCommand({PATHMERE_CLI_PATH, "gpx", "--output", out.path().string(), days.path().string()});
  EXPECT_EQ(result.exitStatus, 1) << result.err;  // the unnamed file
  EXPECT_NE(result.err.find("2011-07-26.plt:6405: not a track point, passed over"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("notes.plt: not named for a day"), std::string::npos) << result.err;
  EXPECT_NE(result.out.find("2011-07-26.gpx: 6398 track points, 255 route points, 1 waypoints"),
            std::string::npos)
      << result.out;
  for (const char* day : {"2011-07-26.gpx", "2011-07-27.gpx"}) {
    std::string problem;
    EXPECT_TRUE(testing::GpxIsValid(out.path() / day, &problem)) << problem;
  }
  const std::string document = testing::ReadWholeFile(out.path() / "2011-07-26.gpx");
  EXPECT_NE(document.find("<name>Fort &lt;George&gt;</name>"), std::string::npos);
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

}  // namespace
}  // namespace pathmere
