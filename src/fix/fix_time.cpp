#include "fix/fix_time.h"

#include "platform/time_services.h"

namespace pathmere {
namespace {

// File time of 1899-12-30 00:00, the day-number epoch, as two 32-bit halves.
constexpr uint32_t kEpochHigh = 21968297u;
constexpr uint32_t kEpochLow = 2836185088u;

}  // namespace

void UtcToLocal(const GpsFix& source, GpsFix* destination) {
  destination->day = source.day;
  destination->month = source.month;
  destination->year = source.year;
  destination->hour = source.hour;
  destination->minute = source.minute;
  destination->seconds = source.seconds;

  SystemTime utc;
  utc.year = static_cast<uint16_t>(2000 + source.year);
  utc.month = source.month;
  utc.day = source.day;
  utc.hour = source.hour;
  utc.minute = source.minute;
  FileTime utcFileTime = 0;
  FileTime localFileTime = 0;
  SystemTime local;
  if (!SystemTimeToFileTime(utc, &utcFileTime) || !FileTimeToLocalFileTime(utcFileTime, &localFileTime) ||
      !FileTimeToSystemTime(localFileTime, &local)) {
    return;
  }
  destination->month = static_cast<uint8_t>(local.month);
  destination->day = static_cast<uint8_t>(local.day);
  destination->hour = static_cast<uint8_t>(local.hour);
  destination->minute = static_cast<uint8_t>(local.minute);
  destination->year = static_cast<uint8_t>(local.year - 2000);
}

double FixTimeToDays(unsigned day, unsigned month, unsigned year, unsigned hour, unsigned minute,
                     unsigned second) {
  SystemTime time;
  time.year = static_cast<uint16_t>(year);
  time.month = static_cast<uint16_t>(month);
  time.day = static_cast<uint16_t>(day);
  time.hour = static_cast<uint16_t>(hour);
  time.minute = static_cast<uint16_t>(minute);
  time.second = static_cast<uint16_t>(second);
  FileTime fileTime = 0;
  if (!SystemTimeToFileTime(time, &fileTime)) return 0.0;

  const uint32_t low = static_cast<uint32_t>(fileTime);
  const uint32_t high = static_cast<uint32_t>(fileTime >> 32);
  const uint32_t newLow = low - kEpochLow;
  const uint32_t newHigh = high - kEpochHigh - (low < kEpochLow ? 1u : 0u);
  const double seconds = newHigh * 429.4967296 + newLow * 0.0000001;
  return seconds * 0.000011574074074074073;
}

}  // namespace pathmere
