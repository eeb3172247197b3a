#include "archive/archive_point_line.h"

#include <cstdint>

#include "output/ozi_line_reader.h"

namespace pathmere {
namespace {

constexpr int64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// A field that is blanks, an optional minus, digits, and optionally a point
// and digits, as a whole number of 10^-`decimals` units; false for anything
// else (more decimals, too many digits, another spelling), which the slow
// way then reads. With at most `decimals` decimals the units are exact, and
// so is what rounding the parsed double to them gives.
bool PlainUnits(std::string_view field, int decimals, int maxWholeDigits, int64_t* units) {
  size_t i = 0;
  const size_t n = field.size();
  while (i < n && field[i] == ' ') ++i;
  const bool negative = i < n && field[i] == '-';
  if (negative) ++i;
  int64_t value = 0;
  int whole = 0;
  while (i < n && field[i] >= '0' && field[i] <= '9') {
    value = value * 10 + (field[i++] - '0');
    if (++whole > maxWholeDigits) return false;
  }
  if (whole == 0) return false;
  int fraction = 0;
  if (i < n && field[i] == '.') {
    ++i;
    while (i < n && field[i] >= '0' && field[i] <= '9') {
      value = value * 10 + (field[i++] - '0');
      if (++fraction > decimals) return false;
    }
    if (fraction == 0) return false;
  }
  while (i < n && field[i] == ' ') ++i;
  if (i != n) return false;
  value *= kPowersOfTen[decimals - fraction];
  *units = negative ? -value : value;
  return true;
}

bool FastLine(std::string_view line, ArchivePoint* out) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  std::string_view field[7];
  size_t start = 0;
  for (int f = 0; f < 7; ++f) {
    const size_t comma = line.find(',', start);
    if ((comma == std::string_view::npos) != (f == 6)) return false;
    field[f] = line.substr(start, comma == std::string_view::npos ? line.npos : comma - start);
    start = comma + 1;
  }
  ArchivePoint p;
  constexpr int64_t kDegree = 100000000;
  if (!PlainUnits(field[0], 8, 3, &p.latitude) || !PlainUnits(field[1], 8, 3, &p.longitude) ||
      !PlainUnits(field[4], 8, 6, &p.time)) {
    return false;
  }
  if (p.latitude > 90 * kDegree || p.latitude < -90 * kDegree || p.longitude > 180 * kDegree ||
      p.longitude < -180 * kDegree || p.time < kDegree || p.time > 110000 * kDegree) {
    return false;
  }
  // Feet in hundredths, held as ArchivePointOf holds them; -777 is "unknown".
  int64_t altitude = 0;
  if (!PlainUnits(field[3], 2, 12, &altitude)) return false;
  constexpr int64_t kHeld = 10000000000;
  p.hasAltitude = altitude != -77700;
  p.altitude = !p.hasAltitude ? 0 : altitude > kHeld ? kHeld : altitude < -kHeld ? -kHeld : altitude;
  *out = p;
  return true;
}

}  // namespace

bool ParseArchivePointLine(std::string_view line, ArchivePoint* out) {
  if (FastLine(line, out)) return true;
  TrackLine parsed;
  if (!ParseTrackPointLine(line, &parsed)) return false;
  *out = ArchivePointOf(parsed.latitude, parsed.longitude, parsed.dayNumber, parsed.hasAltitude,
                        parsed.altitudeFeet);
  return true;
}

}  // namespace pathmere
