#include "platform/time_services.h"

#include <ctime>

namespace pathmere {
namespace {

constexpr uint64_t kTicksPerSecond = 10000000ULL;
constexpr int64_t kSecondsPerDay = 86400;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t kDays1601To1970 = 134774;
// Largest file time the platform converts back to a calendar date.
constexpr FileTime kMaxFileTime = 0x7FFFFFFFFFFFFFFFULL;

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int64_t year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, int64_t* m, int64_t* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = yoe + era * 400 + (*m <= 2);
}

}  // namespace

bool SystemTimeToFileTime(const SystemTime& time, FileTime* fileTime) {
  if (time.year < 1601 || time.year > 30827) return false;
  if (time.month < 1 || time.month > 12) return false;
  if (time.day < 1 || time.day > DaysInMonth(time.year, time.month)) return false;
  if (time.hour > 23 || time.minute > 59 || time.second > 59 || time.milliseconds > 999) {
    return false;
  }
  const int64_t days = DaysFromCivil(time.year, time.month, time.day) + kDays1601To1970;
  const int64_t seconds = days * kSecondsPerDay + time.hour * 3600 + time.minute * 60 + time.second;
  *fileTime =
      static_cast<uint64_t>(seconds) * kTicksPerSecond + static_cast<uint64_t>(time.milliseconds) * 10000ULL;
  return true;
}

bool FileTimeToSystemTime(FileTime fileTime, SystemTime* time) {
  if (fileTime > kMaxFileTime) return false;
  const uint64_t totalSeconds = fileTime / kTicksPerSecond;
  const int64_t days = static_cast<int64_t>(totalSeconds / kSecondsPerDay);
  const int64_t secondOfDay = static_cast<int64_t>(totalSeconds % kSecondsPerDay);
  int64_t y = 0, m = 0, d = 0;
  CivilFromDays(days - kDays1601To1970, &y, &m, &d);
  time->year = static_cast<uint16_t>(y);
  time->month = static_cast<uint16_t>(m);
  time->day = static_cast<uint16_t>(d);
  // 1601-01-01 was a Monday.
  time->dayOfWeek = static_cast<uint16_t>((days + 1) % 7);
  time->hour = static_cast<uint16_t>(secondOfDay / 3600);
  time->minute = static_cast<uint16_t>(secondOfDay / 60 % 60);
  time->second = static_cast<uint16_t>(secondOfDay % 60);
  time->milliseconds = static_cast<uint16_t>(fileTime % kTicksPerSecond / 10000ULL);
  return true;
}

bool FileTimeToLocalFileTime(FileTime utc, FileTime* local) {
  if (utc > kMaxFileTime) return false;
  const int64_t unixSeconds = static_cast<int64_t>(utc / kTicksPerSecond) - kDays1601To1970 * kSecondsPerDay;
  const time_t instant = static_cast<time_t>(unixSeconds);
  tm broken{};
  if (localtime_r(&instant, &broken) == nullptr) return false;
  const int64_t offsetTicks = static_cast<int64_t>(broken.tm_gmtoff) * static_cast<int64_t>(kTicksPerSecond);
  const int64_t result = static_cast<int64_t>(utc) + offsetTicks;
  if (result < 0 || static_cast<uint64_t>(result) > kMaxFileTime) return false;
  *local = static_cast<FileTime>(result);
  return true;
}

}  // namespace pathmere
