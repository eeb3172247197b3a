#include "fix/c_conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>

namespace pathmere {
namespace {

// The C library is the reference: where its result is defined, ours must be
// the same; where it is not (no number for "%2d"), ours is 0.
const char* const kInputs[] = {
    "12",    "123",  "1",   " 7",  "\t\n 42", "+5",  "-5",  "-12", "+-1", "-",  "+",   "ab",
    "1a",    "a1",   "",    ",12", "0x1p3",  "nan", "inf", "1e999", "-1e999", "1e-999", " .5",
    "4807.038,N",    "00000000000000000000000000000000000000000000000000001",
    "99999999999999999999999999999999999999999999999999999", "\xB0" "12", "12\xB0",
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
