// pathmere-cli archive: the index made in the cache, the answers as text and
// JSON, and exit status 2 for a folder that is not one.
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/generated_archive.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::RunCommand;

TEST(ArchiveCommandTest, IndexHereAndTotalsFromTheCache) {
  testing::TempFolder scratch;
  const fs::path days = scratch.path() / "days";
  testing::WriteGeneratedArchive(days, testing::DayNumberOfCivil(2025, 12, 30), 3, 600);
  const std::vector<std::string> env = {"XDG_CACHE_HOME=" + (scratch.path() / "cache").string(), "TZ=UTC"};
  const std::string folder = days.string();

  const auto index = RunCommand({PATHMERE_CLI_PATH, "archive", "index", "--output", folder}, env);
  EXPECT_EQ(index.exitStatus, 0) << index.err;
  EXPECT_EQ(index.out.rfind(
                "3 days in the archive index (3 new, 0 grown, 0 read again, 0 removed): 1800 points", 0),
            0u)
      << index.out;
  EXPECT_TRUE(fs::exists(scratch.path() / "cache" / "pathmere" / "archive" / "index.sqlite"));
  EXPECT_EQ(fs::directory_iterator(days)->path().extension(), ".plt");  // nothing written beside the days

  // Home, where every day starts.
  const auto here =
      RunCommand({PATHMERE_CLI_PATH, "archive", "here", "48.1371,11.5754", "--output", folder}, env);
  EXPECT_EQ(here.exitStatus, 0) << here.err;
  EXPECT_EQ(here.out,
            "2026-01-01  07:02:00  07:02:07  1 visit\n"
            "2025-12-31  07:01:00  07:01:07  1 visit\n"
            "2025-12-30  07:00:00  07:01:07  1 visit\n");
  const auto json = RunCommand({PATHMERE_CLI_PATH, "archive", "here", "--box", "48.13,11.57,48.14,11.58",
                                "--json", "--output", folder},
                               env);
  EXPECT_EQ(json.exitStatus, 0) << json.err;
  const nlohmann::json document = nlohmann::json::parse(json.out);
  ASSERT_EQ(document["days"].size(), 3u);
  EXPECT_EQ(document["days"][2]["day"], "2025-12-30");
  EXPECT_EQ(document["days"][2]["first"], "2025-12-30T07:00:00Z");
  EXPECT_EQ(document["days"][2]["device"], "days");

  const auto totals = RunCommand({PATHMERE_CLI_PATH, "archive", "totals", "--output", folder, "--json"}, env);
  EXPECT_EQ(totals.exitStatus, 0) << totals.err;
  const nlohmann::json years = nlohmann::json::parse(totals.out)["totals"];
  ASSERT_EQ(years.size(), 2u);
  EXPECT_EQ(years[0]["period"], "2025");
  EXPECT_EQ(years[0]["days"], 2);
  EXPECT_EQ(years[1]["points"], 600);

  const auto missing = RunCommand(
      {PATHMERE_CLI_PATH, "archive", "here", "1,2", "--output", (scratch.path() / "none").string()}, env);
  EXPECT_EQ(missing.exitStatus, 2);
  EXPECT_NE(missing.err.find("--output " + (scratch.path() / "none").string() + " is not a folder"),
            std::string::npos)
      << missing.err;
}

}  // namespace
}  // namespace pathmere
