#pragma once

#include <cstdio>
#include <string>

namespace pathmere::testing {

// "$" + body + "*" + the correct checksum.
inline std::string WithChecksum(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum);
  return "$" + body + tail;
}

// An RMC sentence at a time of day given in seconds (fractions allowed), at
// 48 deg N 11 deg E plus `northMetres` to the north (about 1 m = 0.0000090
// degrees), with speed in km/h.
struct RmcFields {
  double timeOfDay = 12 * 3600.0;
  double northMetres = 0.0;
  double speedKmh = 0.0;
  double course = 0.0;
  const char* status = "A";
  const char* date = "061226";
};

inline std::string Rmc(const RmcFields& s) {
  const int whole = static_cast<int>(s.timeOfDay);
  const double fraction = s.timeOfDay - whole;
  const double latMinutes = 0.0 + s.northMetres / 1852.0;  // 1 minute = 1852 m
  char body[160];
  std::snprintf(body, sizeof body, "GPRMC,%02d%02d%05.2f,%s,48%07.4f,N,01100.0000,E,%.3f,%.1f,%s,,",
                whole / 3600, whole / 60 % 60, whole % 60 + fraction, s.status, latMinutes,
                s.speedKmh / 1.852, s.course, s.date);
  return WithChecksum(body);
}

inline std::string Gga(double timeOfDay, double hdop, double altitude = 500.0, int satellites = 8) {
  const int whole = static_cast<int>(timeOfDay);
  const double fraction = timeOfDay - whole;
  char body[160];
  std::snprintf(body, sizeof body, "GPGGA,%02d%02d%05.2f,4800.000,N,01100.000,E,1,%02d,%.1f,%.1f,M,47.0,M,,",
                whole / 3600, whole / 60 % 60, whole % 60 + fraction, satellites, hdop, altitude);
  return WithChecksum(body);
}

// The same sentence from another talker ("GN", "BD", ...), checksum fixed.
inline std::string WithTalker(const std::string& sentence, const std::string& talker) {
  std::string body = sentence.substr(1, sentence.rfind('*') - 1);
  body.replace(0, 2, talker);
  return WithChecksum(body);
}

}  // namespace pathmere::testing
