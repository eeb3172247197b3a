#include "text/c_conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace pathmere {
namespace {

// The C library is the reference: where its result is defined, ours must be
// the same; where it is not (no number for "%2d"), ours is 0.
const char* const kInputs[] = {
    "12",
    "123",
    "1",
    " 7",
    "\t\n 42",
    "+5",
    "-5",
    "-12",
    "+-1",
    "-",
    "+",
    "ab",
    "1a",
    "a1",
    "",
    ",12",
    "0x1p3",
    "nan",
    "inf",
    "1e999",
    "-1e999",
    "1e-999",
    " .5",
    "4807.038,N",
    "00000000000000000000000000000000000000000000000000001",
    "99999999999999999999999999999999999999999999999999999",
    ("\xB0"
     "12"),
    "12\xB0",
};

TEST(CConversionsTest, FixedWidthIntMatchesScanfOrGivesZero) {
  for (const char* input : kInputs) {
    for (int width : {2, 3}) {
      const char format[] = {'%', static_cast<char>('0' + width), 'd', '\0'};
      int expected = 0;
      if (std::sscanf(input, format, &expected) != 1) expected = 0;
      EXPECT_EQ(ScanFixedWidthInt(input, width), expected) << '"' << input << "\" width " << width;
    }
  }
}

TEST(CConversionsTest, DoubleAndIntMatchAtofAndAtoiWithinRange) {
  for (const char* input : kInputs) {
    const double expected = std::atof(input);
    const double actual = ScanDouble(input);
    if (std::isnan(expected)) {
      EXPECT_TRUE(std::isnan(actual)) << input;
    } else {
      EXPECT_EQ(actual, expected) << input;
    }
    const long wide = std::strtol(input, nullptr, 10);
    if (wide >= INT32_MIN && wide <= INT32_MAX) {
      EXPECT_EQ(ScanInt(input), std::atoi(input)) << input;
    }
  }
  EXPECT_EQ(ScanInt("99999999999999999999"), INT32_MAX);
  EXPECT_EQ(ScanInt("-2147483649"), INT32_MIN);
}

// Plain decimals take a shortcut past strtod; the result must be the same
// double, bit for bit, and so must everything the shortcut hands back.
TEST(CConversionsTest, DoubleMatchesStrtodBitForBit) {
  std::vector<std::string> inputs = {
      "0",
      "-0",
      "-0.0",
      "+0",
      ".5",
      "-.5",
      "5.",
      ".",
      "-.",
      "+.",
      "0x10",
      "-0X1p4",
      "00x1",
      "1e5",
      "1E5",
      "1e",
      "1.5e-3",
      "9007199254740992",
      "9007199254740993",
      "9007199254740993.0",
      "900719925474099.35",
      "0.1",
      "0.3",
      "4807.0380",
      "01131.0000,E",
      "022.4,",
      "1.0000000000000000000001",
      "0.00000000000000000000001",
      "0.0000000000000000000001",
      " \t12.5",
      "12.5x",
      "nan",
      "-inf",
      "123456789012345678901234567890",
      "0.000000000000000000000000000001e30",
  };
  std::mt19937_64 random(11);
  const char* const tails[] = {"", ",", "e3", "E-2", "*5A", "x", ".7", " "};
  for (int i = 0; i < 50000; ++i) {
    std::string text = (random() % 4 == 0) ? "-" : "";
    const int whole = static_cast<int>(random() % 18), fraction = static_cast<int>(random() % 26);
    for (int d = 0; d < whole; ++d) text += static_cast<char>('0' + random() % 10);
    if (fraction > 0 || random() % 2 == 0) text += '.';
    for (int d = 0; d < fraction; ++d) text += static_cast<char>('0' + random() % 10);
    text += tails[random() % (sizeof tails / sizeof tails[0])];
    inputs.push_back(text);
  }
  for (const std::string& input : inputs) {
    const double expected = std::strtod(input.c_str(), nullptr);
    const double actual = ScanDouble(input.c_str());
    if (std::isnan(expected)) {
      EXPECT_TRUE(std::isnan(actual)) << input;
      continue;
    }
    uint64_t expectedBits, actualBits;
    std::memcpy(&expectedBits, &expected, sizeof expected);
    std::memcpy(&actualBits, &actual, sizeof actual);
    ASSERT_EQ(actualBits, expectedBits) << '"' << input << "\" gives " << actual << ", strtod " << expected;
  }
}

TEST(CConversionsTest, FieldSkipStopsAtCommaOrBadByte) {
  const char text[] = "ab,cd";
  EXPECT_EQ(SkipField(text), text + 3);
  EXPECT_EQ(SkipField(text + 2), text + 3);  // the start itself may be the comma
  EXPECT_EQ(SkipField("abc"), nullptr);      // terminator first
  EXPECT_EQ(SkipField("a\x1F,"), nullptr);
  EXPECT_EQ(SkipField("a\x80,"), nullptr);
  EXPECT_EQ(SkipField("a\xFF,"), nullptr);
  EXPECT_NE(SkipField(" ~\x7F,"), nullptr);  // 0x20 and 0x7F are allowed
}

TEST(CConversionsTest, ClampedOffsetNeverPassesTheTerminator) {
  const char text[] = "$GPRMC,";
  const char* end = text + std::strlen(text);
  EXPECT_EQ(ClampedOffset(text, 5, end), text + 5);
  EXPECT_EQ(ClampedOffset(text, 7, end), end);
  EXPECT_EQ(ClampedOffset(text, 11, end), end);
}

}  // namespace
}  // namespace pathmere
