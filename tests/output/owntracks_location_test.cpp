#include "output/owntracks_location.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/writer_bench.h"

namespace pathmere {
namespace {

using testing::FixAt;

GpsFix Moving(double latitude, double longitude, double altitude, double speed, double course) {
  GpsFix fix = FixAt(7, 12, 26, 15, 6, 9.0, latitude, longitude, altitude);
  fix.speed = speed;
  fix.course = course;
  return fix;
}

// 2026-12-07 15:06:09 UTC
constexpr int64_t kTst = 1796655969;

TEST(OwnTracksLocationTest, TableOfFixes) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    const char* legend;
    GpsFix fix;
    const char* json;  // everything after `"_type":"location",`, before `"tid"`
  };
  const Row rows[] = {
      {"plain", Moving(52.3705, 4.9094, 3.0, 80.0, 0.0),
       R"("lat":52.3705,"lon":4.9094,"tst":1796655969,"alt":3,"vel":80,"cog":0,)"},
      {"lat/lon rounded to 6 decimals, to the nearest", Moving(52.37050049, 4.90940051, 3.0, 80.0, 0.0),
       R"("lat":52.3705,"lon":4.909401,"tst":1796655969,"alt":3,"vel":80,"cog":0,)"},
      {"south and west are negative", Moving(-33.8568, -151.2153, -12.6, 5.4, 271.5),
       R"("lat":-33.8568,"lon":-151.2153,"tst":1796655969,"alt":-13,"vel":5,"cog":272,)"},
      {"unknown altitude left out", Moving(1.0, 2.0, kUnknownAltitude, 0.0, 0.0),
       R"("lat":1.0,"lon":2.0,"tst":1796655969,"vel":0,"cog":0,)"},
      {"speed is km/h already, rounded", Moving(1.0, 2.0, 0.4, 129.5, 359.6),
       R"("lat":1.0,"lon":2.0,"tst":1796655969,"alt":0,"vel":130,"cog":0,)"},
      {"a longitude past 180 comes back west", Moving(0.0, 190.0, 0.0, 0.0, -90.0),
       R"("lat":0.0,"lon":-170.0,"tst":1796655969,"alt":0,"vel":0,"cog":270,)"},
      {"absurd speed and course saturate or go", Moving(0.0, 0.0, 1e300, 1e300, kNaN),
       R"("lat":0.0,"lon":0.0,"tst":1796655969,"alt":2147483647,"vel":2147483647,)"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ComposeOwnTracksLocation(row.fix, "pm", 1796656000),
              std::string(R"({"_type":"location",)") + row.json + R"("tid":"pm","created_at":1796656000})")
        << row.legend;
  }
}

TEST(OwnTracksLocationTest, NoAccuracyFromHdop) {
  GpsFix fix = Moving(1.0, 2.0, 3.0, 4.0, 5.0);
  fix.hdop = 25.0;
  EXPECT_EQ(ComposeOwnTracksLocation(fix, "pm", 0).find("acc"), std::string::npos);
}

TEST(OwnTracksLocationTest, TimesFromTheFixDate) {
  struct Row {
    int day, month, year, hour, minute;
    double seconds;
    std::optional<int64_t> tst;
  };
  const Row rows[] = {
      {7, 12, 26, 15, 6, 9.0, kTst},
      {1, 1, 0, 0, 0, 0.0, 946684800},              // 2000-01-01
      {29, 2, 24, 23, 59, 44.9999995, 1709251185},  // leap day; the second as the .plt shows it
      {29, 2, 25, 0, 0, 0.0, std::nullopt},         // no leap day in 2025
      {0, 1, 26, 0, 0, 0.0, std::nullopt},
      {1, 13, 26, 0, 0, 0.0, std::nullopt},
      {1, 1, 26, 24, 0, 0.0, std::nullopt},
      {1, 1, 26, 0, 0, 1e300, std::nullopt},
  };
  for (const Row& row : rows) {
    const GpsFix fix = FixAt(row.day, row.month, row.year, row.hour, row.minute, row.seconds);
    EXPECT_EQ(FixEpochSeconds(fix), row.tst) << row.day << "." << row.month << "." << row.year;
  }
}

TEST(OwnTracksLocationTest, NothingForAPositionThatIsNoNumber) {
  EXPECT_EQ(ComposeOwnTracksLocation(Moving(std::nan(""), 1.0, 0, 0, 0), "pm", 0), "");
  EXPECT_EQ(ComposeOwnTracksLocation(Moving(1.0, std::numeric_limits<double>::infinity(), 0, 0, 0), "pm", 0),
            "");
  EXPECT_EQ(ComposeOwnTracksLocation(Moving(91.0, 1.0, 0, 0, 0), "pm", 0), "");
  EXPECT_EQ(ComposeOwnTracksLocation(FixAt(30, 2, 26, 0, 0, 0), "pm", 0), "");
}

TEST(OwnTracksLocationTest, OddTrackerIdBytesAreEscapedOrReplaced) {
  const std::string json = ComposeOwnTracksLocation(Moving(1, 2, 3, 4, 5), "\"\xff", 0);
  EXPECT_NE(json.find("\"tid\":\"\\\"\xEF\xBF\xBD\""), std::string::npos) << json;
  EXPECT_EQ(ComposeOwnTracksWill(kTst), R"({"_type":"lwt","tst":1796655969})");
}

}  // namespace
}  // namespace pathmere
