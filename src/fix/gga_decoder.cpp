#include "fix/gga_decoder.h"

#include <cstring>

#include "fix/time_field.h"
#include "text/c_conversions.h"

namespace pathmere {

// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
//
//  field  example    meaning
//  1      123519     UTC hhmmss[.sss], read at fixed positions 7, 9 and 11;
//                    the skip to its comma starts at position 11
//  2      4807.038   latitude: skipped, the position comes from RMC
//  3      N          skipped
//  4      01131.000  longitude: skipped
//  5      E          skipped
//  6      1          fix quality: 0, negative or empty means no fix (5);
//                    kept as it is up to 9, above that unknown
//  7      08         satellites in use
//  8      0.9        HDOP
//  9      545.4      altitude: an empty field fails with 9
//  10     M          altitude unit: only metres are accepted (10)
//  11...  46.9,M,,   geoid separation and the rest: not read
//
// Satellites and HDOP stay in the slot even when a later field fails; the
// slot's timeOfDay marker keeps the merge from using them.
int DecodeGga(const char* sentence, GpsFix* fix) {
  fix->altitude = kUnknownAltitude;
  fix->hdop = kUnknownHdop;
  fix->timeOfDay = kGgaInvalidTime;
  fix->satellites = kUnknownSatellites;
  fix->fixQuality = kUnknownFixQuality;
  if (!HasPrefix(sentence, "$GPGGA,")) return 1;
  const char* const end = sentence + std::strlen(sentence);

  const double timeOfDay = DecodeTimeField(sentence, end, fix);
  const char* p = SkipField(ClampedOffset(sentence, 11, end));
  if (p == nullptr) return 2;
  if ((p = SkipField(p)) == nullptr) return 3;  // latitude
  if ((p = SkipField(p)) == nullptr) return 4;  // N/S
  if ((p = SkipField(p)) == nullptr) return 3;  // longitude
  if ((p = SkipField(p)) == nullptr) return 4;  // E/W

  const int32_t quality = ScanInt(p);
  if (quality <= 0) return 5;
  fix->fixQuality = quality <= 9 ? quality : kUnknownFixQuality;
  if ((p = SkipField(p)) == nullptr) return 6;

  fix->satellites = ScanInt(p);
  if ((p = SkipField(p)) == nullptr) return 7;

  fix->hdop = ScanDouble(p);
  if ((p = SkipField(p)) == nullptr) return 8;

  if (*p == ',') return 9;
  const double altitude = ScanDouble(p);
  if ((p = SkipField(p)) == nullptr) return 8;
  if (*p != 'M') return 10;

  fix->altitude = altitude;
  fix->timeOfDay = timeOfDay;
  return 0;
}

}  // namespace pathmere
