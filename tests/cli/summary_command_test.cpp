// pathmere-cli summary: the day in numbers from the day files, as text and JSON.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/generated_day.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::RunCommand;

TEST(SummaryCommandTest, DaysOfAFolderAsTextAndJson) {
  testing::TempFolder days;
  std::ofstream(days.path() / "2026-12-06.plt", std::ios::binary) << testing::DriveWithStopTrackFile(6);
  std::ofstream(days.path() / "2026-12-07.plt", std::ios::binary) << testing::DriveWithStopTrackFile(7);
  std::ofstream(days.path() / "2026-12-08.wpt", std::ios::binary) << "not a waypoint\r\n";
  const std::string folder = days.path().string();

  const auto one = RunCommand({PATHMERE_CLI_PATH, "summary", "--output", folder, "2026-12-06"});
  EXPECT_EQ(one.exitStatus, 0) << one.err;
  for (const char* line : {"2026-12-06: 2026-12-06 12:00:00 to 2026-12-06 12:25:00 UTC\n",
                           "  Distance:                16.67 km\n", "  Moving time:             0:20:00\n",
                           "  Stopped time:            0:05:00\n", "  Total time:              0:25:00\n",
                           "  Maximum speed:           50.0 km/h\n", "  Ascent:                  50 m\n",
                           "  Stops:                   1\n",
                           "    stop 2026-12-06 12:10:00 (12:10:00 UTC)  0:05:00  51.57494 0.00000\n"}) {
    EXPECT_NE(one.out.find(line), std::string::npos) << line << one.out;
  }

  // Without a day: the latest with files, here one without points.
  const auto latest = RunCommand({PATHMERE_CLI_PATH, "summary", "--output", folder});
  EXPECT_EQ(latest.exitStatus, 0) << latest.err;
  EXPECT_EQ(latest.out.rfind("2026-12-08: no track points\n  Distance:", 0), 0u) << latest.out;

  const auto range =
      RunCommand({PATHMERE_CLI_PATH, "summary", "--json", "--output", folder, "2026-12-01..2026-12-07"});
  ASSERT_EQ(range.exitStatus, 0) << range.err;
  const nlohmann::json json = nlohmann::json::parse(range.out);
  ASSERT_EQ(json["days"].size(), 2u);
  EXPECT_EQ(json["days"][1]["day"], "2026-12-07");
  EXPECT_EQ(json["days"][1]["first"], "2026-12-07T12:00:00Z");
  EXPECT_EQ(json["days"][0]["stops"][0]["start"], "2026-12-06T12:10:00Z");
  EXPECT_NEAR(json["days"][0]["moving_s"].get<double>(), 1200.0, 0.5);
  EXPECT_NEAR(json["total"]["distance_m"].get<double>(), 2 * 16667.0, 2 * 167.0);
  EXPECT_EQ(json["total"]["stops"].size(), 2u);
  EXPECT_EQ(json["total"]["points"], 2 * 1501);

  const struct {
    const char* legend;
    std::vector<std::string> args;
    int status;
    const char* err;
  } failures[] = {
      {"no day of the range",
       {"--output", folder, "2025-01-01..2025-12-31"},
       1,
       "no day files of those days"},
      {"no such folder", {"--output", folder + "/none"}, 1, "is not a folder that can be read"},
      {"a range backwards", {"--output", folder, "2026-12-07..2026-12-06"}, 2, "summary wants a day"},
      {"not a date", {"2026-13-01"}, 2, "summary wants a day"},
      {"two days", {"2026-12-06", "2026-12-07"}, 2, "summary takes one DAY"},
  };
  for (const auto& row : failures) {
    std::vector<std::string> argv = {PATHMERE_CLI_PATH, "summary"};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const auto result = RunCommand(argv);
    EXPECT_EQ(result.exitStatus, row.status) << row.legend;
    EXPECT_NE(result.err.find(row.err), std::string::npos) << row.legend << ": " << result.err;
  }
}

// Every recorded log replayed, then summarised: no crash, and numbers a
// person would believe of a receiver on the ground, at sea or in the air.
TEST(SummaryCommandTest, RecordedLogsGiveSaneNumbers) {
  const fs::path logs = testing::RecordedLogFolder();
  if (!fs::exists(logs)) GTEST_SKIP() << "recorded logs not found";
  testing::TempFolder out;
  // With the GPX files, so that the maximum is the receivers' own speed.
  std::vector<std::string> replay = {PATHMERE_CLI_PATH, "replay", "--output", out.path().string()};
  for (const auto& entry : fs::directory_iterator(logs)) {
    const std::string extension = entry.path().extension().string();
    if (extension == ".nmea" || extension == ".log") replay.push_back(entry.path().string());
  }
  ASSERT_EQ(RunCommand(replay, {"TZ=UTC"}).exitStatus, 0);
  const auto result = RunCommand(
      {PATHMERE_CLI_PATH, "summary", "--json", "--output", out.path().string(), "1980-01-01..2099-12-31"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const nlohmann::json json = nlohmann::json::parse(result.out);
  ASSERT_GT(json["days"].size(), 5u);
  for (const nlohmann::json& day : json["days"]) {
    const std::string name = day["day"];
    const double total = day["total_s"];
    EXPECT_NEAR(total,
                day["moving_s"].get<double>() + day["stopped_s"].get<double>() +
                    day["without_points_s"].get<double>(),
                1e-3)
        << name;
    EXPECT_GE(total, 0.0) << name;
    EXPECT_LE(total, 2 * 86400.0) << name;
    EXPECT_GE(day["distance_m"].get<double>(), 0.0) << name;
    EXPECT_LT(day["max_speed_mps"].get<double>(), 350.0) << name << " (faster than an airliner)";
    // Not bounded by the maximum: that is the receiver's own speed, and a
    // receiver standing with a weak fix says 0 while its positions wander.
    EXPECT_LT(day["average_moving_speed_mps"].get<double>(), 350.0) << name;
    if (day.contains("ascent_m")) {
      EXPECT_GE(day["ascent_m"].get<double>(), 0.0) << name;
      EXPECT_LE(day["lowest_m"].get<double>(), day["highest_m"].get<double>()) << name;
    }
    for (const nlohmann::json& stop : day["stops"]) EXPECT_GE(stop["seconds"].get<double>(), 180.0) << name;
  }
}

}  // namespace
}  // namespace pathmere
