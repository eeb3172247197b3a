#pragma once

#include <cstdint>

namespace pathmere {

// Calendar time as the program hands it to the platform. Every part is a
// 16-bit unsigned value; the program fills dayOfWeek and milliseconds with 0.
struct SystemTime {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t dayOfWeek = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
};

// 100-nanosecond intervals since 1601-01-01 00:00.
using FileTime = uint64_t;

// Each conversion fails (returns false) for impossible values: month 13,
// 30 February, hour 24, a year before 1601, or a file time past the year
// 30827. The output is untouched on failure.
bool SystemTimeToFileTime(const SystemTime& time, FileTime* fileTime);
bool FileTimeToSystemTime(FileTime fileTime, SystemTime* time);

// Applies the time-zone rules (TZ / tzdata) in force at that instant, so an
// old log gets the offset its own date had.
bool FileTimeToLocalFileTime(FileTime utc, FileTime* local);

}  // namespace pathmere
