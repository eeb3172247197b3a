#pragma once

#include <cstdint>

namespace pathmere {

// Markers for values a sentence did not supply. Readers test them against a
// margin (see the helpers below), never for equality.
inline constexpr double kUnknownAltitude = -99999.99;
inline constexpr double kUnknownHdop = -1.0;
inline constexpr int32_t kUnknownSatellites = -1;
inline constexpr int32_t kUnknownFixQuality = -1;
// The two invalid times differ by 1000 s so an invalid RMC never pairs with an
// invalid GGA record in the merge.
inline constexpr double kRmcInvalidTime = -2000.0;
inline constexpr double kGgaInvalidTime = -1000.0;

// One fix, in UTC. Date and time parts are 8-bit: a decoder keeps the low
// 8 bits of whatever number it read.
struct GpsFix {
  uint8_t day = 0;     // 1..31
  uint8_t month = 0;   // 1..12
  uint8_t year = 0;    // years since 2000
  uint8_t hour = 0;    // 0..23
  uint8_t minute = 0;  // 0..59
  int32_t satellites = 0;
  double seconds = 0.0;    // with fraction
  double timeOfDay = 0.0;  // written last by a decoder: the record's validity
  double latitude = 0.0;   // degrees, north positive
  double longitude = 0.0;  // degrees, east positive
  double speed = 0.0;      // km/h
  double altitude = 0.0;   // metres above mean sea level
  double course = 0.0;     // degrees
  double hdop = 0.0;
  // GGA's fix quality (1 GPS, 2 differential, 3 PPS, 4 and 5 RTK...); last,
  // so a record written field by field in the order above needs none.
  int32_t fixQuality = kUnknownFixQuality;
};

inline bool IsValidFix(const GpsFix& fix) { return fix.timeOfDay > -1.0; }
inline bool HasAltitude(const GpsFix& fix) { return fix.altitude > -90000.0; }
inline bool HasSeconds(const GpsFix& fix) { return fix.seconds > -1.0; }

}  // namespace pathmere
