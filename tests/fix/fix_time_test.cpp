#include "fix/fix_time.h"

#include <gtest/gtest.h>

#include "platform/time_services.h"
#include "support/test_environment.h"
#include "support/writer_bench.h"

namespace pathmere {
namespace {

using testing::FixAt;
using testing::ScopedTimeZone;

TEST(FixTimeToDaysTest, OziExplorerDayNumbers) {
  EXPECT_NEAR(FixTimeToDays(23, 3, 2004, 12, 35, 0), 38069.524305555, 1e-8);
  EXPECT_DOUBLE_EQ(FixTimeToDays(30, 12, 1899, 0, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(FixTimeToDays(1, 1, 1900, 0, 0, 0), 2.0);
  EXPECT_NEAR(FixTimeToDays(6, 12, 2026, 2, 56, 0), 46362.12222222, 1e-8);
}

TEST(FixTimeToDaysTest, ImpossibleDatesGiveZero) {
  EXPECT_EQ(FixTimeToDays(1, 13, 2004, 0, 0, 0), 0.0);
  EXPECT_EQ(FixTimeToDays(30, 2, 2004, 0, 0, 0), 0.0);
  EXPECT_EQ(FixTimeToDays(29, 2, 2003, 0, 0, 0), 0.0);
  EXPECT_EQ(FixTimeToDays(0, 1, 2004, 0, 0, 0), 0.0);
  EXPECT_EQ(FixTimeToDays(1, 1, 2004, 24, 0, 0), 0.0);
  EXPECT_EQ(FixTimeToDays(1, 1, 2004, 0, 60, 0), 0.0);
  EXPECT_EQ(FixTimeToDays(1, 1, 1600, 0, 0, 0), 0.0);
  EXPECT_NE(FixTimeToDays(29, 2, 2004, 0, 0, 0), 0.0);  // a leap year
}

TEST(UtcToLocalTest, NewYearOneHourEast) {
  ScopedTimeZone zone("CET-1");
  GpsFix local;
  UtcToLocal(FixAt(31, 12, 4, 23, 30, 17.25), &local);
  EXPECT_EQ(local.day, 1);
  EXPECT_EQ(local.month, 1);
  EXPECT_EQ(local.year, 5);
  EXPECT_EQ(local.hour, 0);
  EXPECT_EQ(local.minute, 30);
  EXPECT_EQ(local.seconds, 17.25);
}

// The offset is the one in force at the fix's own date, not today's.
TEST(UtcToLocalTest, FollowsDaylightSavingRulesOfTheFixDate) {
  ScopedTimeZone zone("Europe/Berlin");
  GpsFix local;
  UtcToLocal(FixAt(29, 3, 26, 0, 59, 0.0), &local);  // 01:59 CET
  EXPECT_EQ(local.hour, 1);
  EXPECT_EQ(local.minute, 59);
  UtcToLocal(FixAt(29, 3, 26, 1, 0, 0.0), &local);  // 03:00 CEST
  EXPECT_EQ(local.hour, 3);
  UtcToLocal(FixAt(15, 1, 4, 22, 30, 0.0), &local);  // winter, an old log
  EXPECT_EQ(local.day, 15);
  EXPECT_EQ(local.hour, 23);
  UtcToLocal(FixAt(15, 7, 4, 22, 30, 0.0), &local);  // summer of the same year
  EXPECT_EQ(local.day, 16);
  EXPECT_EQ(local.hour, 0);
}

TEST(UtcToLocalTest, WestOfGreenwichGoesBackADay) {
  ScopedTimeZone zone("America/New_York");
  GpsFix local;
  UtcToLocal(FixAt(1, 3, 26, 3, 15, 59.9), &local);
  EXPECT_EQ(local.day, 28);
  EXPECT_EQ(local.month, 2);
  EXPECT_EQ(local.hour, 22);
  EXPECT_EQ(local.seconds, 59.9);
}

TEST(UtcToLocalTest, ImpossibleDateKeepsUtcValuesAndTouchesNothingElse) {
  ScopedTimeZone zone("CET-1");
  GpsFix local;
  local.latitude = 7.0;
  local.timeOfDay = 123.0;
  UtcToLocal(FixAt(31, 13, 4, 23, 30, 1.0), &local);
  EXPECT_EQ(local.day, 31);
  EXPECT_EQ(local.month, 13);
  EXPECT_EQ(local.hour, 23);
  EXPECT_EQ(local.latitude, 7.0);
  EXPECT_EQ(local.timeOfDay, 123.0);
}

TEST(TimeServicesTest, RoundTripAndLimits) {
  SystemTime in{2026, 12, 0, 6, 2, 56, 44, 0};
  FileTime ft = 0;
  ASSERT_TRUE(SystemTimeToFileTime(in, &ft));
  SystemTime out;
  ASSERT_TRUE(FileTimeToSystemTime(ft, &out));
  EXPECT_EQ(out.year, 2026);
  EXPECT_EQ(out.month, 12);
  EXPECT_EQ(out.day, 6);
  EXPECT_EQ(out.hour, 2);
  EXPECT_EQ(out.minute, 56);
  EXPECT_EQ(out.second, 44);
  EXPECT_EQ(out.dayOfWeek, 0);  // a Sunday
  EXPECT_FALSE(FileTimeToSystemTime(0x8000000000000000ULL, &out));
  SystemTime epoch{1601, 1, 0, 1, 0, 0, 0, 0};
  ASSERT_TRUE(SystemTimeToFileTime(epoch, &ft));
  EXPECT_EQ(ft, 0u);
}

}  // namespace
}  // namespace pathmere
