// Every recorded log replayed by pathmere-cli into a fresh folder, checked the
// way a user would check the track files.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fix/fix_time.h"
#include "support/child_process.h"
#include "support/day_file_headers.h"
#include "support/gpsbabel_readback.h"
#include "support/gpx_checks.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::RunCommand;

struct TrackPoint {
  std::string line;
  double dayNumber;
  GpsFix utc;
};

// Both point forms: altitude in feet, or the unknown form "-777," glued to
// the day number.
const std::regex kPointLine(
    R"((-?\d+\.\d{8}), (-?\d+\.\d{8}),0, (?:(-?\d+\.\d{2}), |-777,)(-?\d+\.\d{8}), (\d\d)\.(\d\d)\.(\d\d), (\d\d):(\d\d):(\d\d)\r)");

// Per log: "date_jumps" of the profile; a log whose clock only runs forward
// must give point times that never go back within a file.
std::map<std::string, int> DateJumpsByLog() {
  std::map<std::string, int> jumps;
  std::istringstream profile(testing::ReadWholeFile(testing::RecordedLogFolder() / "profile.tsv"));
  std::string line;
  std::getline(profile, line);
  while (std::getline(profile, line)) {
    std::vector<std::string> cells;
    std::istringstream row(line);
    for (std::string cell; std::getline(row, cell, '\t');) cells.push_back(cell);
    if (cells.size() > 12) jumps[cells[0]] = std::atoi(cells[12].c_str());
  }
  return jumps;
}

// A route of a fresh run: the header with the file's date, then points
// numbered from 1 with names counting up from 001 under one prefix.
void CheckRouteFile(const fs::path& path) {
  const std::string date = path.stem().string();
  const std::string content = testing::ReadWholeFile(path);
  const std::string header = testing::RouteHeader(std::stoi(date.substr(0, 4)), std::stoi(date.substr(5, 2)),
                                                  std::stoi(date.substr(8, 2)));
  ASSERT_EQ(header.size(), 107u);
  ASSERT_EQ(content.substr(0, header.size()), header) << path;
  static const std::regex kRouteLine(
      R"(W,1, *(\d+), *(\d+),(R[A-Z]{2})(\d{3}),-?\d+\.\d{8},-?\d+\.\d{8},\d+\.\d{8},0,1,3,0,65535,,0,0, \r)");
  std::istringstream lines(content.substr(header.size()));
  int expectedNumber = 1;
  std::string prefix;
  for (std::string line; std::getline(lines, line); ++expectedNumber) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, kRouteLine)) << line;
    EXPECT_EQ(std::stoi(m[1]), expectedNumber) << line;
    EXPECT_EQ(std::stoi(m[2]), expectedNumber) << line;
    if (prefix.empty()) prefix = m[3];
    EXPECT_EQ(m[3], prefix) << line;
    EXPECT_EQ(std::stoi(m[4]), expectedNumber % 1000) << line;
  }
  EXPECT_GT(expectedNumber, 1) << "no route point in " << path;
}

struct ExpectedCounts {
  int accepted, dropped, trackPoints, logged;
};
const std::map<std::string, ExpectedCounts> kFixCounts = {
#include "../fix/recorded_logs_expected.inc"
};

// The two logs with RMC sentences of other satellite systems give more
// points than GPS fix processing alone: the GN-only log those of its GN
// fixes, the 10 Hz log one more from the GN fixes before its first GPS RMC.
// With --gps-only they give the points of GPS alone.
const std::map<std::string, int> kPointsWithOtherSystems = {
    {"gpsd-trimble-rtk-10hz.log", 2},
    {"nmeaparser-trimble-r2-gn-only.nmea", 4},
};

// Every file of a folder, by name.
std::map<std::string, std::string> FilesIn(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path().filename().string()] = testing::ReadWholeFile(entry.path());
  }
  return files;
}

int TrackPoints(const std::map<std::string, std::string>& files) {
  int points = 0;
  for (const auto& [name, content] : files) {
    if (name.ends_with(".plt"))
      points += static_cast<int>(std::count(content.begin(), content.end(), '\n')) - 6;
  }
  return points;
}

TEST(ReplayRecordedLogsTest, EveryLogGivesOneWellFormedTrackFilePerLocalDay) {
  const auto logs = testing::RecordedLogs();
  if (logs.empty()) GTEST_SKIP() << "recorded logs not found";
  const auto dateJumps = DateJumpsByLog();
  testing::ScopedTimeZone berlin("Europe/Berlin");
  for (const fs::path& log : logs) {
    const std::string name = log.filename().string();
    SCOPED_TRACE(name);
    testing::TempFolder out;
    const auto result = RunCommand(
        {PATHMERE_CLI_PATH, "replay", log.string(), "--output", out.path().string()}, {"TZ=Europe/Berlin"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out.rfind(log.string() + "\r\n", 0), 0u) << result.out;
    EXPECT_TRUE(result.out.ends_with("File processed\r\n")) << result.out;

    int points = 0;
    for (const auto& entry : fs::directory_iterator(out.path())) {
      const std::string fileName = entry.path().filename().string();
      ASSERT_TRUE(std::regex_match(fileName, std::regex(R"(\d{4}-\d\d-\d\d\.(plt|rte|gpx))"))) << fileName;
      if (entry.path().extension() == ".gpx") continue;  // checked against the .plt below
      if (entry.path().extension() == ".rte") {
        CheckRouteFile(entry.path());
        continue;
      }
      const std::string date = fileName.substr(0, 10);
      const std::string content = testing::ReadWholeFile(entry.path());
      const std::string header = testing::TrackHeader(
          std::stoi(date.substr(0, 4)), std::stoi(date.substr(5, 2)), std::stoi(date.substr(8, 2)));
      ASSERT_EQ(header.size(), 132u);
      ASSERT_EQ(content.substr(0, header.size()), header);
      std::istringstream lines(content.substr(header.size()));
      double lastDayNumber = -1.0;
      for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, kPointLine)) << line;
        ++points;
        // The point belongs to the local day that names its file.
        GpsFix utc;
        utc.day = static_cast<uint8_t>(std::stoi(m[5]));
        utc.month = static_cast<uint8_t>(std::stoi(m[6]));
        utc.year = static_cast<uint8_t>(std::stoi(m[7]));
        utc.hour = static_cast<uint8_t>(std::stoi(m[8]));
        utc.minute = static_cast<uint8_t>(std::stoi(m[9]));
        GpsFix local;
        UtcToLocal(utc, &local);
        char localDate[16];
        std::snprintf(localDate, sizeof localDate, "%04d-%02d-%02d", 2000 + local.year, local.month,
                      local.day);
        EXPECT_EQ(date, localDate) << line;
        const double dayNumber = std::stod(m[4]);
        if (dateJumps.count(name) != 0 && dateJumps.at(name) == 0) {
          EXPECT_GE(dayNumber, lastDayNumber) << line;
        }
        lastDayNumber = dayNumber;
      }
    }
    // Map programs read back every point written.
    testing::ExpectGpsBabelReadsBack(out.path());
    // The GPX files hold the same points, valid.
    testing::ExpectGpxMatchesOziFiles(out.path());
    // The same spacing as fix processing fed line by line.
    ASSERT_EQ(kFixCounts.count(name), 1u);
    const auto withOthers = kPointsWithOtherSystems.find(name);
    EXPECT_EQ(points, withOthers != kPointsWithOtherSystems.end() ? withOthers->second
                                                                  : kFixCounts.at(name).trackPoints);

    // GPS alone: the files of GPS fix processing, the same as without the
    // switch for every log without other systems' RMC sentences.
    testing::TempFolder gpsOnly;
    const auto gpsResult = RunCommand(
        {PATHMERE_CLI_PATH, "replay", log.string(), "--output", gpsOnly.path().string(), "--gps-only"},
        {"TZ=Europe/Berlin"});
    ASSERT_EQ(gpsResult.exitStatus, 0) << gpsResult.err;
    EXPECT_EQ(gpsResult.out, result.out);
    const auto gpsFiles = FilesIn(gpsOnly.path());
    EXPECT_EQ(TrackPoints(gpsFiles), kFixCounts.at(name).trackPoints);
    if (withOthers == kPointsWithOtherSystems.end()) {
      EXPECT_EQ(gpsFiles, FilesIn(out.path()));
    }
  }
}

// West of Greenwich too the GPX days are the .plt days; --no-gpx writes none.
TEST(ReplayRecordedLogsTest, GpxFilesFollowTheTrackInAnotherZoneAndCanBeLeftOut) {
  const auto logs = testing::RecordedLogs();
  if (logs.empty()) GTEST_SKIP() << "recorded logs not found";
  for (const fs::path& log : logs) {
    SCOPED_TRACE(log.filename().string());
    testing::TempFolder out;
    ASSERT_EQ(RunCommand({PATHMERE_CLI_PATH, "replay", log.string(), "--output", out.path().string()},
                         {"TZ=America/Los_Angeles"})
                  .exitStatus,
              0);
    testing::ExpectGpxMatchesOziFiles(out.path());
  }
  testing::TempFolder without;
  ASSERT_EQ(RunCommand({PATHMERE_CLI_PATH, "replay", logs.front().string(), "--output",
                        without.path().string(), "--no-gpx"})
                .exitStatus,
            0);
  for (const auto& entry : fs::directory_iterator(without.path()))
    EXPECT_NE(entry.path().extension(), ".gpx");
}

TEST(ReplayRecordedLogsTest, ALogCrossingLocalMidnightSplitsIntoTwoDays) {
  const fs::path log = testing::RecordedLogFolder() / "opencpn-guernsey-rmc-ais.nmea";
  if (!fs::exists(log)) GTEST_SKIP() << "recorded logs not found";
  testing::TempFolder out;
  const auto result = RunCommand({PATHMERE_CLI_PATH, "replay", log.string(), "--output", out.path().string()},
                                 {"TZ=Europe/Berlin"});
  ASSERT_EQ(result.exitStatus, 0);
  const std::string first = testing::ReadWholeFile(out.path() / "2011-07-26.plt");
  const std::string second = testing::ReadWholeFile(out.path() / "2011-07-27.plt");
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  // 22:00 UTC is local midnight in summer: the last point before it and the
  // first after it, both still dated the 26th in UTC.
  const auto lastLine = first.substr(first.rfind("\r\n", first.size() - 3) + 2);
  const auto firstLine = second.substr(132, second.find("\r\n", 132) - 132);
  EXPECT_NE(lastLine.find(", 26.07.11, 21:5"), std::string::npos) << lastLine;
  EXPECT_NE(firstLine.find(", 26.07.11, 22:0"), std::string::npos) << firstLine;
  EXPECT_EQ(testing::ExpectGpsBabelReadsBack(out.path()), testing::GpsBabelFound() ? 3 : 0);
}

}  // namespace
}  // namespace pathmere
