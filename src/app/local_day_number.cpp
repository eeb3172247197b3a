#include "app/local_day_number.h"

#include <cmath>

#include "platform/time_services.h"

namespace pathmere {
namespace {

constexpr double kSecondsPerDay = 86400.0;
// File time of 1899-12-30 00:00, the day numbers' epoch.
constexpr FileTime kDayNumberEpoch = (FileTime{21968297u} << 32) + FileTime{2836185088u};
// 9999-12-31: far enough for any log, near enough for a file time.
constexpr double kLastDayNumber = 2958465.0;

}  // namespace

bool UtcOffsetSeconds(double utcDayNumber, int64_t* seconds) {
  if (!(utcDayNumber >= 0.0 && utcDayNumber <= kLastDayNumber)) return false;
  // The instant in whole milliseconds, as clock texts round it: a day number
  // a hair before a change of the clocks reads as the change.
  const auto milliseconds = static_cast<FileTime>(std::llround(utcDayNumber * kSecondsPerDay * 1000.0));
  const FileTime utc = kDayNumberEpoch + milliseconds * 10000u;
  FileTime local = 0;
  if (!FileTimeToLocalFileTime(utc, &local)) return false;
  *seconds = (static_cast<int64_t>(local) - static_cast<int64_t>(utc)) / 10000000;
  return true;
}

double LocalDayNumber(double utcDayNumber) {
  int64_t seconds = 0;
  if (!UtcOffsetSeconds(utcDayNumber, &seconds)) return utcDayNumber;
  return utcDayNumber + static_cast<double>(seconds) / kSecondsPerDay;
}

}  // namespace pathmere
