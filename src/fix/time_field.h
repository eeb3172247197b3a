#pragma once

#include <cstdint>

#include "fix/gps_fix.h"
#include "text/c_conversions.h"

namespace pathmere {

// Reads hhmmss[.sss] at fixed positions 7, 9 and 11 of an RMC or GGA
// sentence into the record and returns the time of day it makes, which the
// decoder stores only once the whole sentence has decoded. The sum uses the
// stored 8-bit values.
inline double DecodeTimeField(const char* sentence, const char* end, GpsFix* fix) {
  fix->hour = static_cast<uint8_t>(ScanFixedWidthInt(ClampedOffset(sentence, 7, end), 2));
  fix->minute = static_cast<uint8_t>(ScanFixedWidthInt(ClampedOffset(sentence, 9, end), 2));
  fix->seconds = ScanDouble(ClampedOffset(sentence, 11, end));
  return fix->minute * 60.0 + fix->hour * 3600.0 + fix->seconds;
}

}  // namespace pathmere
