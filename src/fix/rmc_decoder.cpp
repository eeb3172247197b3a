#include "fix/rmc_decoder.h"

#include <cstring>

#include "fix/time_field.h"
#include "text/c_conversions.h"

namespace pathmere {
namespace {

constexpr double kKmhPerKnot = 1.852;

}  // namespace

// $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230304,003.1,W*6A
//
//  field  example    meaning
//  1      123519     UTC hhmmss[.sss], read at fixed positions 7, 9 and 11;
//                    the skip to its comma starts at position 11
//  2      A          status: only "A" decodes; "V" (receiver warning) fails
//                    with 10 but leaves the time in the record for the
//                    "No fix" text
//  3      4807.038   latitude ddmm.mmm: always two degree digits; the skip
//                    starts at the minutes
//  4      N          N, or S for negative latitude
//  5      01131.000  longitude dddmm.mmm: always three degree digits
//  6      E          E, or W for negative longitude
//  7      022.4      speed over ground in knots; empty reads as 0
//  8      084.4      course over ground in degrees; empty reads as 0
//  9      230304     date ddmmyy: exactly six characters, so a four-digit
//                    year fails with 7
//  10...  003.1,W    magnetic variation and the rest: not read
//
// Fixed positions that lie beyond the end of a short sentence read as its
// terminator. Values go into the record as they are read; timeOfDay is
// written last, so a record that failed half way is never used.
int DecodeRmc(const char* sentence, GpsFix* fix) {
  fix->altitude = kUnknownAltitude;
  fix->seconds = kRmcInvalidTime;
  fix->timeOfDay = kRmcInvalidTime;
  if (!HasPrefix(sentence, "$GPRMC,")) return 1;
  const char* const end = sentence + std::strlen(sentence);

  const double timeOfDay = DecodeTimeField(sentence, end, fix);
  const char* p = SkipField(ClampedOffset(sentence, 11, end));
  if (p == nullptr) return 2;

  if (p[0] != 'A' || p[1] != ',') return 10;
  p += 2;

  const int32_t latitudeDegrees = ScanFixedWidthInt(p, 2);
  const char* latitudeMinutes = ClampedOffset(p, 2, end);
  fix->latitude = ScanDouble(latitudeMinutes) * (1.0 / 60.0) + latitudeDegrees;
  p = SkipField(latitudeMinutes);
  if (p == nullptr) return 3;
  if (p[0] == 'S') {
    fix->latitude = -fix->latitude;
  } else if (p[0] != 'N') {
    return 3;
  }
  if (p[1] != ',') return 3;
  p += 2;

  const int32_t longitudeDegrees = ScanFixedWidthInt(p, 3);
  const char* longitudeMinutes = ClampedOffset(p, 3, end);
  fix->longitude = ScanDouble(longitudeMinutes) * (1.0 / 60.0) + longitudeDegrees;
  p = SkipField(longitudeMinutes);
  if (p == nullptr) return 4;
  if (p[0] == 'W') {
    fix->longitude = -fix->longitude;
  } else if (p[0] != 'E') {
    return 4;
  }
  if (p[1] != ',') return 4;
  p += 2;

  fix->speed = ScanDouble(p) * kKmhPerKnot;
  p = SkipField(p);
  if (p == nullptr) return 5;

  fix->course = ScanDouble(p);
  p = SkipField(p);
  if (p == nullptr) return 6;

  if (*ClampedOffset(p, 6, end) != ',') return 7;
  fix->day = static_cast<uint8_t>(ScanFixedWidthInt(p, 2));
  fix->month = static_cast<uint8_t>(ScanFixedWidthInt(p + 2, 2));
  fix->year = static_cast<uint8_t>(ScanFixedWidthInt(p + 4, 2));

  fix->timeOfDay = timeOfDay;
  return 0;
}

}  // namespace pathmere
