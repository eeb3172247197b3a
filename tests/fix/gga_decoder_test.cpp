#include "fix/gga_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "fix/expect_same_fix.h"

namespace pathmere {
namespace {

using testing::ExpectSameFix;

constexpr double kA = kUnknownAltitude;
constexpr double kH = kUnknownHdop;
constexpr int32_t kS = kUnknownSatellites;
constexpr double kT = kGgaInvalidTime;

// The record before each case is testing::kRecordBefore (1, 2, 3, 4, 5, 6,
// 7.5 ... 14.5 in field order); the date, position, speed and course are
// RMC's and must survive every row.
constexpr GpsFix kBefore = testing::kRecordBefore;

struct GgaCase {
  const char* legend;
  const char* sentence;
  int code;
  GpsFix expected;  // day, month, year, hour, minute, satellites, seconds,
                    // timeOfDay, latitude, longitude, speed, altitude, course, hdop
};

const GgaCase kGgaCases[] = {
    {"standard",
     "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
     0,
     {1, 2, 3, 12, 35, 8, 19.0, 45319.0, 9.5, 10.5, 11.5, 545.4, 13.5, 0.9}},
    {"fractional seconds, negative altitude",
     "$GPGGA,000001.25,,,,,2,12,1.25,-27.5,M,,,,*00",
     0,
     {1, 2, 3, 0, 0, 12, 1.25, 1.25, 9.5, 10.5, 11.5, -27.5, 13.5, 1.25}},

    // One failure code per row; the markers stay where nothing was read.
    {"1: other sentence",
     "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230304,,*00",
     1,
     {1, 2, 3, 4, 5, kS, 7.5, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"2: high byte in time",
     "$GPGGA,123519\xB0,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,,,*00",
     2,
     {1, 2, 3, 12, 35, kS, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"3: high byte in latitude",
     "$GPGGA,123519,4807\x80,N,01131.000,E,1,08,0.9,545.4,M,,,,*00",
     3,
     {1, 2, 3, 12, 35, kS, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"4: high byte in N/S",
     "$GPGGA,123519,4807.038,N\xFF,01131.000,E,1,08,0.9,545.4,M,,,,*00",
     4,
     {1, 2, 3, 12, 35, kS, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"3: control byte in longitude",
     "$GPGGA,123519,4807.038,N,0113\x7"
     "1.000,E,1,08,0.9,545.4,M,,,,*00",
     3,
     {1, 2, 3, 12, 35, kS, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"4: high byte in E/W",
     "$GPGGA,123519,4807.038,N,01131.000,\xC9,1,08,0.9,545.4,M,,,,*00",
     4,
     {1, 2, 3, 12, 35, kS, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"5: quality 0",
     "$GPGGA,123519,,,,,0,00,99.9,,,,,,*00",
     5,
     {1, 2, 3, 12, 35, kS, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"5: quality empty",
     "$GPGGA,123519,,,,,,08,0.9,545.4,M,,,,*00",
     5,
     {1, 2, 3, 12, 35, kS, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"5: quality negative",
     "$GPGGA,123519,,,,,-1,08,0.9,545.4,M,,,,*00",
     5,
     {1, 2, 3, 12, 35, kS, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"5: quality in hex reads as 0 like atoi",
     "$GPGGA,123519,,,,,0x1,08,0.9,545.4,M,,,,*00",
     5,
     {1, 2, 3, 12, 35, kS, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"6: high byte after the quality digit",
     "$GPGGA,123519,,,,,1\x80,08,0.9,545.4,M,,,,*00",
     6,
     {1, 2, 3, 12, 35, kS, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"7: tab in satellites, read before the skip",
     "$GPGGA,123519,,,,,1,\t08,0.9,545.4,M,,,,*00",
     7,
     {1, 2, 3, 12, 35, 8, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"8: high byte in HDOP",
     "$GPGGA,123519,,,,,1,08,0.9\xA0,545.4,M,,,,*00",
     8,
     {1, 2, 3, 12, 35, 8, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, 0.9}},
    {"8: high byte in altitude",
     "$GPGGA,123519,,,,,1,08,0.9,545.4\xA0,M,,,,*00",
     8,
     {1, 2, 3, 12, 35, 8, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, 0.9}},
    {"9: empty altitude keeps satellites and HDOP",
     "$GPGGA,123519,,,,,1,08,0.9,,M,,,,*00",
     9,
     {1, 2, 3, 12, 35, 8, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, 0.9}},
    {"10: altitude in feet",
     "$GPGGA,123519,,,,,1,08,0.9,1789.4,F,,,,*00",
     10,
     {1, 2, 3, 12, 35, 8, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, 0.9}},

    // Sentences that end before a field or a fixed position.
    {"just the address", "$GPGGA,", 2, {1, 2, 3, 0, 0, kS, 0.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"ends in latitude",
     "$GPGGA,123519,4807",
     3,
     {1, 2, 3, 12, 35, kS, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, kH}},
    {"ends in HDOP",
     "$GPGGA,123519,,,,,1,08,0.9",
     8,
     {1, 2, 3, 12, 35, 8, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, 0.9}},
    {"ends after the altitude comma",
     "$GPGGA,123519,,,,,1,08,0.9,545.4,",
     10,
     {1, 2, 3, 12, 35, 8, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, 0.9}},

    // Absurd but well-formed.
    {"huge satellites saturate, nan HDOP, -1e999 altitude",
     "$GPGGA,123519,,,,,1,99999999999999999999,nan,-1e999,M,,,,*00",
     0,
     {1, 2, 3, 12, 35, INT32_MAX, 19.0, 45319.0, 9.5, 10.5, 11.5, -INFINITY, 13.5, NAN}},
    {"letters in the time",
     "$GPGGA,zz59ab,,,,,1,08,0x1p3,545.4,M,,,,*00",
     0,
     {1, 2, 3, 0, 59, 8, 0.0, 3540.0, 9.5, 10.5, 11.5, 545.4, 13.5, 8.0}},
};

TEST(DecodeGgaTest, TableOfCases) {
  for (const auto& c : kGgaCases) {
    SCOPED_TRACE(c.legend);
    GpsFix fix = kBefore;
    EXPECT_EQ(DecodeGga(c.sentence, &fix), c.code);
    ExpectSameFix(fix, c.expected);
  }
}

// The quality goes on to the GPX file's <fix>; it is read as soon as the
// field is, even when a later field fails.
TEST(DecodeGgaTest, FixQualityIsKeptAsTheReceiverSaysIt) {
  const struct {
    const char* legend;
    const char* sentence;
    int32_t quality;
  } rows[] = {
      {"GPS", "$GPGGA,123519,,,,,1,08,0.9,545.4,M,,,,*00", 1},
      {"differential", "$GPGGA,123519,,,,,2,08,0.9,545.4,M,,,,*00", 2},
      {"RTK float", "$GPGGA,123519,,,,,5,08,0.9,545.4,M,,,,*00", 5},
      {"no fix", "$GPGGA,123519,,,,,0,08,0.9,545.4,M,,,,*00", kUnknownFixQuality},
      {"beyond any receiver's", "$GPGGA,123519,,,,,77,08,0.9,545.4,M,,,,*00", kUnknownFixQuality},
      {"empty altitude after it", "$GPGGA,123519,,,,,2,08,0.9,,M,,,,*00", 2},
      {"other sentence", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230304,,*00",
       kUnknownFixQuality},
  };
  for (const auto& row : rows) {
    GpsFix fix = kBefore;
    fix.fixQuality = 4;
    DecodeGga(row.sentence, &fix);
    EXPECT_EQ(fix.fixQuality, row.quality) << row.legend;
  }
}

TEST(DecodeGgaTest, RandomNoiseGivesADefinedResult) {
  std::mt19937 random(20260613);
  std::uniform_int_distribution<int> byte(1, 255);
  std::uniform_int_distribution<int> length(0, 90);
  for (int round = 0; round < 20000; ++round) {
    std::string sentence = "$GPGGA,";
    for (int n = length(random); n > 0; --n) {
      const int b = byte(random);
      sentence += static_cast<char>(b < 60 ? ',' : b < 160 ? '0' + b % 10 : b < 170 ? 'M' : b);
    }
    GpsFix fix = kBefore;
    const int code = DecodeGga(sentence.c_str(), &fix);
    ASSERT_TRUE(code >= 0 && code <= 10 && code != 1) << code;
    EXPECT_EQ(IsValidFix(fix), code == 0);
    EXPECT_EQ(HasAltitude(fix), code == 0);
  }
}

}  // namespace
}  // namespace pathmere
