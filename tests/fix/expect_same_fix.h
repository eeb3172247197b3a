#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "fix/gps_fix.h"

namespace pathmere::testing {

inline void ExpectSameDouble(double actual, double expected, const char* name) {
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(actual)) << name << " = " << actual;
  } else {
    EXPECT_DOUBLE_EQ(actual, expected) << name;
  }
}

// Compares every field, so a value a decoder should have left alone shows
// as well as one it should have written. NaN matches NaN.
inline void ExpectSameFix(const GpsFix& actual, const GpsFix& expected) {
  EXPECT_EQ(actual.day, expected.day);
  EXPECT_EQ(actual.month, expected.month);
  EXPECT_EQ(actual.year, expected.year);
  EXPECT_EQ(actual.hour, expected.hour);
  EXPECT_EQ(actual.minute, expected.minute);
  EXPECT_EQ(actual.satellites, expected.satellites);
  ExpectSameDouble(actual.seconds, expected.seconds, "seconds");
  ExpectSameDouble(actual.timeOfDay, expected.timeOfDay, "timeOfDay");
  ExpectSameDouble(actual.latitude, expected.latitude, "latitude");
  ExpectSameDouble(actual.longitude, expected.longitude, "longitude");
  ExpectSameDouble(actual.speed, expected.speed, "speed");
  ExpectSameDouble(actual.altitude, expected.altitude, "altitude");
  ExpectSameDouble(actual.course, expected.course, "course");
  ExpectSameDouble(actual.hdop, expected.hdop, "hdop");
}

// A record holding a different fix, given to a decoder before each case.
// Fields in declaration order: day, month, year, hour, minute, satellites,
// seconds, timeOfDay, latitude, longitude, speed, altitude, course, hdop.
inline constexpr GpsFix kRecordBefore{1, 2, 3, 4, 5, 6, 7.5, 8.5, 9.5, 10.5, 11.5, 12.5, 13.5, 14.5};

}  // namespace pathmere::testing
