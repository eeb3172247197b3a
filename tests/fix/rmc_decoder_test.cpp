#include "fix/rmc_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "fix/expect_same_fix.h"
#include "fix/nmea_checksum.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

constexpr double kA = kUnknownAltitude;
constexpr double kT = kRmcInvalidTime;

using testing::ExpectSameFix;

// The record before each case is testing::kRecordBefore (1, 2, 3, 4, 5, 6,
// 7.5 ... 14.5 in field order).
constexpr GpsFix kBefore = testing::kRecordBefore;

constexpr double kMunichLat = 48.1173;  // 48 deg 07.038 min
constexpr double kMunichLon = 11.516666666666667;
constexpr double kMunichKmh = 41.4848;  // 22.4 knots

struct RmcCase {
  const char* legend;
  const char* sentence;
  int code;
  GpsFix expected;  // same field order as kBefore
};

// Satellites (6) and HDOP (14.5) belong to the GGA merge and must survive
// every row; altitude is always reset.
const RmcCase kRmcCases[] = {
    {"worked example",
     "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230304,003.1,W*6A",
     0,
     {23, 3, 4, 12, 35, 6, 19.0, 45319.0, kMunichLat, kMunichLon, kMunichKmh, kA, 84.4, 14.5}},
    {"south, west, fractional seconds",
     "$GPRMC,235959.75,A,3356.123,S,15112.500,W,0.5,359.9,311299,,*00",
     0,
     {31, 12, 99, 23, 59, 6, 59.75, 86399.75, -(33 + 56.123 / 60), -(151 + 12.5 / 60), 0.926, kA, 359.9,
      14.5}},
    {"empty speed and course read as 0",
     "$GPRMC,000000,A,0000.000,N,00000.000,E,,,010100,,*00",
     0,
     {1, 1, 0, 0, 0, 6, 0.0, 0.0, 0.0, 0.0, 0.0, kA, 0.0, 14.5}},
    {"status V keeps the time for the no-fix text",
     "$GPRMC,081836,V,,,,,,,230304,,*00",
     10,
     {1, 2, 3, 8, 18, 6, 36.0, kT, 9.5, 10.5, 11.5, kA, 13.5, 14.5}},

    // One failure code per row; values read before the failing step stay.
    {"1: other sentence",
     "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
     1,
     {1, 2, 3, 4, 5, 6, kT, kT, 9.5, 10.5, 11.5, kA, 13.5, 14.5}},
    {"1: no comma after the address",
     "$GPRMC",
     1,
     {1, 2, 3, 4, 5, 6, kT, kT, 9.5, 10.5, 11.5, kA, 13.5, 14.5}},
    {"1: lower case",
     "$gprmc,123519,A,4807.038,N",
     1,
     {1, 2, 3, 4, 5, 6, kT, kT, 9.5, 10.5, 11.5, kA, 13.5, 14.5}},
    {"2: high byte in time",
     "$GPRMC,123519\x80,A,4807.038,N,01131.000,E,022.4,084.4,230304,,*00",
     2,
     {1, 2, 3, 12, 35, 6, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, 14.5}},
    {"3: high byte in latitude",
     "$GPRMC,123519,A,4807.0\xFF"
     "8,N,01131.000,E,022.4,084.4,230304,,*00",
     3,
     {1, 2, 3, 12, 35, 6, 19.0, kT, 48 + 7.0 / 60, 10.5, 11.5, kA, 13.5, 14.5}},
    {"3: hemisphere X",
     "$GPRMC,123519,A,4807.038,X,01131.000,E,022.4,084.4,230304,,*00",
     3,
     {1, 2, 3, 12, 35, 6, 19.0, kT, kMunichLat, 10.5, 11.5, kA, 13.5, 14.5}},
    {"3: S not followed by a comma, negated first",
     "$GPRMC,123519,A,4807.038,SS,01131.000,E,022.4,084.4,230304,,*00",
     3,
     {1, 2, 3, 12, 35, 6, 19.0, kT, -kMunichLat, 10.5, 11.5, kA, 13.5, 14.5}},
    {"4: lower-case w",
     "$GPRMC,123519,A,4807.038,N,01131.000,w,022.4,084.4,230304,,*00",
     4,
     {1, 2, 3, 12, 35, 6, 19.0, kT, kMunichLat, kMunichLon, 11.5, kA, 13.5, 14.5}},
    {"4: control byte in longitude",
     "$GPRMC,123519,A,4807.038,N,01131\t000,E,022.4,084.4,230304,,*00",
     4,
     {1, 2, 3, 12, 35, 6, 19.0, kT, kMunichLat, 11 + 31.0 / 60, 11.5, kA, 13.5, 14.5}},
    {"5: control byte in speed",
     "$GPRMC,123519,A,4807.038,N,01131.000,E,022\x01.4,084.4,230304,,*00",
     5,
     {1, 2, 3, 12, 35, 6, 19.0, kT, kMunichLat, kMunichLon, 22 * 1.852, kA, 13.5, 14.5}},
    {"6: UTF-8 in course",
     "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4\xC2\xB0,230304,,*00",
     6,
     {1, 2, 3, 12, 35, 6, 19.0, kT, kMunichLat, kMunichLon, kMunichKmh, kA, 84.4, 14.5}},
    {"7: four-digit year",
     "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,23032004,003.1,W*6A",
     7,
     {1, 2, 3, 12, 35, 6, 19.0, kT, kMunichLat, kMunichLon, kMunichKmh, kA, 84.4, 14.5}},
    {"7: short date",
     "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,2303,003.1,W*6A",
     7,
     {1, 2, 3, 12, 35, 6, 19.0, kT, kMunichLat, kMunichLon, kMunichKmh, kA, 84.4, 14.5}},

    // Sentences that end before a fixed position: the position reads as the
    // end of the text (the sanitizer build checks nothing past it is read).
    {"just the address", "$GPRMC,", 2, {1, 2, 3, 0, 0, 6, 0.0, kT, 9.5, 10.5, 11.5, kA, 13.5, 14.5}},
    {"hour only", "$GPRMC,12", 2, {1, 2, 3, 12, 0, 6, 0.0, kT, 9.5, 10.5, 11.5, kA, 13.5, 14.5}},
    {"ends after status",
     "$GPRMC,123519,A",
     10,
     {1, 2, 3, 12, 35, 6, 19.0, kT, 9.5, 10.5, 11.5, kA, 13.5, 14.5}},
    {"ends in empty latitude",
     "$GPRMC,123519,A,,",
     3,
     {1, 2, 3, 12, 35, 6, 19.0, kT, 0.0, 10.5, 11.5, kA, 13.5, 14.5}},
    {"ends in empty longitude",
     "$GPRMC,123519,A,4807.038,N,,",
     4,
     {1, 2, 3, 12, 35, 6, 19.0, kT, kMunichLat, 0.0, 11.5, kA, 13.5, 14.5}},
    {"ends inside the date",
     "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,2303",
     7,
     {1, 2, 3, 12, 35, 6, 19.0, kT, kMunichLat, kMunichLon, kMunichKmh, kA, 84.4, 14.5}},
    {"binary noise", "$GPRMC,\x01\x02\x03", 2, {1, 2, 3, 0, 0, 6, 0.0, kT, 9.5, 10.5, 11.5, kA, 13.5, 14.5}},

    // Absurd but well-formed: each gets a defined value.
    {"letters in two-digit fields read as 0",
     "$GPRMC,ab12cd,A,4807.038,N,01131.000,E,022.4,084.4,xy03zz,,*00",
     0,
     {0, 3, 0, 0, 12, 6, 0.0, 720.0, kMunichLat, kMunichLon, kMunichKmh, kA, 84.4, 14.5}},
    {"signs in two-digit fields keep the low 8 bits",
     "$GPRMC,-1-5+9,A,4807.038,N,01131.000,E,022.4,084.4,230304,,*00",
     0,
     {23, 3, 4, 255, 251, 6, 9.0, 251 * 60.0 + 255 * 3600.0 + 9.0, kMunichLat, kMunichLon, kMunichKmh, kA,
      84.4, 14.5}},
    {"nan, inf, 1e999 and a hex float",
     "$GPRMC,123519,A,48nan,N,011inf,E,1e999,0x1p3,230304,,*00",
     0,
     {23, 3, 4, 12, 35, 6, 19.0, 45319.0, NAN, INFINITY, INFINITY, kA, 8.0, 14.5}},
    {"a hundred digits",
     "$GPRMC,123519,A,4807.038,N,01131.000,E,"
     "1000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
     ",084.4,230304,,*00",
     0,
     {23, 3, 4, 12, 35, 6, 19.0, 45319.0, kMunichLat, kMunichLon, 1e99 * 1.852, kA, 84.4, 14.5}},
};

TEST(DecodeRmcTest, TableOfCases) {
  for (const auto& c : kRmcCases) {
    SCOPED_TRACE(c.legend);
    GpsFix fix = kBefore;
    EXPECT_EQ(DecodeRmc(c.sentence, &fix), c.code);
    ExpectSameFix(fix, c.expected);
  }
}

// Random bytes after the address: any result must be one of the codes, and
// only a complete decoding marks the record valid.
TEST(DecodeRmcTest, RandomNoiseGivesADefinedResult) {
  std::mt19937 random(20260612);
  std::uniform_int_distribution<int> byte(1, 255);
  std::uniform_int_distribution<int> length(0, 90);
  for (int round = 0; round < 20000; ++round) {
    std::string sentence = "$GPRMC,";
    for (int n = length(random); n > 0; --n) {
      // Commas and digits often enough to get past the first fields.
      const int b = byte(random);
      sentence += static_cast<char>(b < 60 ? ',' : b < 160 ? '0' + b % 10 : b);
    }
    GpsFix fix = kBefore;
    const int code = DecodeRmc(sentence.c_str(), &fix);
    ASSERT_TRUE((code >= 2 && code <= 7) || code == 10 || code == 0) << code;
    EXPECT_EQ(IsValidFix(fix), code == 0);
  }
}

// Every RMC sentence in the recorded logs that has a good checksum and
// status A decodes completely, to a time and date in range.
TEST(DecodeRmcTest, RecordedLogsDecode) {
  const auto logs = testing::RecordedLogs();
  if (logs.empty()) GTEST_SKIP() << "no recorded logs";
  int decoded = 0;
  for (const auto& path : logs) {
    std::istringstream lines(testing::ReadWholeFile(path));
    for (std::string line; std::getline(lines, line);) {
      for (size_t at = line.find("$GPRMC,"); at != std::string::npos; at = line.find("$GPRMC,", at + 1)) {
        const std::string sentence = line.substr(at, line.find_first_of("$\r\n", at + 1) - at);
        const size_t status = sentence.find(',', 7);
        if (VerifyChecksum(sentence.c_str()) != 0 || sentence.compare(status, 3, ",A,") != 0) continue;
        GpsFix fix{};
        ASSERT_EQ(DecodeRmc(sentence.c_str(), &fix), 0) << path.filename() << ": " << sentence;
        EXPECT_TRUE(fix.timeOfDay < 86400.0 && fix.day >= 1 && fix.day <= 31 && fix.month >= 1 &&
                    fix.month <= 12)
            << sentence;
        ++decoded;
      }
    }
  }
  EXPECT_GT(decoded, 0);
}

}  // namespace
}  // namespace pathmere
