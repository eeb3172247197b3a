#include "text/decimal_text.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace pathmere {
namespace {

// The C library is the reference for every byte.
std::string Printf(const char* format, int width, int decimals, double value) {
  char text[512];
  std::snprintf(text, sizeof text, format, width, decimals, value);
  return text;
}

std::string Fixed(double value, int decimals, int width) {
  char buffer[512];
  DecimalText text(buffer, sizeof buffer);
  text.AppendFixed(value, decimals, width);
  EXPECT_EQ(std::strlen(buffer), text.size());
  return std::string(text.View());
}

double FromBits(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void ExpectFixedLikePrintf(double value) {
  for (int decimals : {0, 1, 2, 6, 8, 9}) {
    for (int width : {0, 5, 14}) {
      ASSERT_EQ(Fixed(value, decimals, width), Printf("%*.*f", width, decimals, value))
          << "value " << value << " (bits " << std::hexfloat << value << std::defaultfloat << "), decimals "
          << decimals << ", width " << width;
    }
  }
}

TEST(DecimalTextTest, FixedMatchesPrintfOnEdgeValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const double edges[] = {
      0.0,
      -0.0,
      0.5,
      1.5,
      2.5,
      -2.5,
      0.125,
      0.375,
      -0.125,
      0.05,
      0.15,
      0.25,
      0.35,
      1e-7,
      -1e-7,
      4.9e-324,
      -4.9e-324,
      2.2250738585072014e-308,
      9007199254740991.0,
      9007199254740992.0,
      9007199254740993.0,
      1e15,
      1e16,
      1e17,
      1e300,
      -1e300,
      1.7976931348623157e308,
      inf,
      -inf,
      std::nan(""),
      -std::nan(""),
      99.95,
      99.995,
      999999.9999999,
      0.999999995,
      -0.000000004,
      48.1234565,
      11.575,
      3.2808399 * 545.4,
      46362.12273727,
      -99999.99,
      180.0,
      359.99,
      // Exact ties at every number of decimals used: the last digit goes to even.
      0.5e-1 + 0.0,
      1.0 / 1024,
      3.0 / 2048,
      1.0 / 256,
      5.0 / 8,
  };
  for (double value : edges) ExpectFixedLikePrintf(value);
}

TEST(DecimalTextTest, FixedMatchesPrintfOnRandomValues) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> position(-180.0, 180.0), small(-2.0, 2.0);
  std::uniform_int_distribution<int> exponent(-40, 70);
  for (int i = 0; i < 3000; ++i) {
    ExpectFixedLikePrintf(position(random));
    ExpectFixedLikePrintf(std::ldexp(small(random), exponent(random)));
    ExpectFixedLikePrintf(FromBits(random()));  // any bit pattern at all
    // Halves of the last printed place, where rounding is decided.
    const double unit = std::pow(10.0, -static_cast<int>(random() % 10));
    ExpectFixedLikePrintf((static_cast<double>(random() % 1000000) + 0.5) * unit);
  }
}

TEST(DecimalTextTest, IntegersMatchPrintf) {
  const int64_t values[] = {
      0, 1, 9, 10, 99, 100, 255, -1, -9, -10, -99, 2147483647, -2147483647 - 1, INT64_MAX, INT64_MIN};
  for (int64_t value : values) {
    for (int width : {0, 1, 2, 3, 5, 25}) {
      char expected[64], zeroPadded[64];
      std::snprintf(expected, sizeof expected, "%*" PRId64, width, value);
      std::snprintf(zeroPadded, sizeof zeroPadded, "%0*" PRId64, width, value);
      char buffer[64];
      DecimalText text(buffer, sizeof buffer);
      text.AppendInt(value, width, false);
      EXPECT_EQ(std::string(text.View()), expected) << value << " width " << width;
      DecimalText padded(buffer, sizeof buffer);
      padded.AppendInt(value, width, true);
      EXPECT_EQ(std::string(padded.View()), zeroPadded) << value << " width " << width;
    }
  }
}

// Like snprintf into a short buffer: the text is cut, never overrun, always
// terminated, and says that it was cut.
TEST(DecimalTextTest, TextThatDoesNotFitIsCut) {
  for (size_t capacity = 1; capacity < 40; ++capacity) {
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    DecimalText text(buffer, capacity);
    text.Append("Lat: ");
    text.AppendFixed(-48.123456789, 6, 12);
    text.AppendInt(-7, 4, true);
    text.AppendFixed(1e300, 2);
    char expected[512];
    std::snprintf(expected, sizeof expected, "Lat: %12.6f%04d%.2f", -48.123456789, -7, 1e300);
    EXPECT_EQ(std::string(buffer), std::string(expected).substr(0, capacity - 1)) << capacity;
    EXPECT_EQ(text.size(), capacity - 1);
    EXPECT_TRUE(text.cut());
    EXPECT_EQ(buffer[capacity], '#') << "written past the capacity " << capacity;
  }
  char buffer[16];
  DecimalText fits(buffer, sizeof buffer);
  fits.Append("12345678901234");
  EXPECT_FALSE(fits.cut());
  fits.Append("5");
  EXPECT_FALSE(fits.cut());
  fits.Append("6");
  EXPECT_TRUE(fits.cut());
  EXPECT_STREQ(buffer, "123456789012345");
}

}  // namespace
}  // namespace pathmere
