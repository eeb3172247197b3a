#include "support/plt_points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "fix/units.h"
#include "output/owntracks_location.h"
#include "support/test_environment.h"

namespace pathmere::testing {

bool PltPoint::operator==(const PltPoint& other) const {
  // Half a unit of the 6th decimal each way, and the metre a message rounds
  // the altitude to.
  return tst == other.tst && std::abs(lat - other.lat) < 5e-7 + 1e-9 &&
         std::abs(lon - other.lon) < 5e-7 + 1e-9 && std::abs(altitudeMetres - other.altitudeMetres) <= 0.51;
}

std::ostream& operator<<(std::ostream& out, const PltPoint& p) {
  return out << p.tst << " " << p.lat << "," << p.lon << " " << p.altitudeMetres << " m";
}

std::vector<PltPoint> PltPoints(const std::filesystem::path& plt) {
  std::vector<PltPoint> points;
  std::istringstream in(ReadWholeFile(plt));
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    if (++number <= 6) continue;  // the header
    PltPoint point;
    GpsFix fix;
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    double days = 0, feet = 0;
    if (std::sscanf(line.c_str(), "%lf, %lf,%*d, %lf,%lf, %d.%d.%d, %d:%d:%d", &point.lat, &point.lon, &feet,
                    &days, &day, &month, &year, &hour, &minute, &second) != 10) {
      ADD_FAILURE() << "not a track line: " << line;
      continue;
    }
    fix.day = static_cast<uint8_t>(day);
    fix.month = static_cast<uint8_t>(month);
    fix.year = static_cast<uint8_t>(year);
    fix.hour = static_cast<uint8_t>(hour);
    fix.minute = static_cast<uint8_t>(minute);
    fix.seconds = second;
    point.tst = FixEpochSeconds(fix).value_or(-1);
    point.altitudeMetres = feet == -777 ? 0 : feet / kFeetPerMetre;
    points.push_back(point);
  }
  return points;
}

}  // namespace pathmere::testing
