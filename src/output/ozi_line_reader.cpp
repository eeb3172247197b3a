#include "output/ozi_line_reader.h"

#include <charconv>
#include <cmath>
#include <string>

namespace pathmere {
namespace {

// The fields of a line split at commas, at most kMaxFields; the line end is
// not part of the last field.
struct Fields {
  static constexpr int kMaxFields = 20;
  std::string_view field[kMaxFields];
  int count = 0;
};

Fields Split(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  Fields fields;
  size_t start = 0;
  while (fields.count < Fields::kMaxFields) {
    const size_t comma = line.find(',', start);
    fields.field[fields.count++] =
        line.substr(start, comma == std::string_view::npos ? line.npos : comma - start);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// The whole field as a finite decimal, blanks around it allowed; from_chars
// reads the same whatever the locale.
bool Number(std::string_view field, double* value) {
  field = TrimBlanks(field);
  if (field.empty()) return false;
  double parsed = 0.0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), parsed);
  if (error != std::errc() || end != field.data() + field.size() || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

bool Position(std::string_view latitudeField, std::string_view longitudeField, double* latitude,
              double* longitude) {
  double lat = 0.0;
  double lon = 0.0;
  if (!Number(latitudeField, &lat) || !Number(longitudeField, &lon)) return false;
  if (std::fabs(lat) > 90.0 || std::fabs(lon) > 180.0) return false;
  *latitude = lat;
  *longitude = lon;
  return true;
}

// Day numbers of the years 1900 to 2200; the writers' own lie in 2000-2255.
bool DayNumber(std::string_view field, double* dayNumber) {
  double value = 0.0;
  if (!Number(field, &value) || value < 1.0 || value > 110000.0) return false;
  *dayNumber = value;
  return true;
}

// Names are shown, so only printable ASCII is kept of them.
std::string ShownName(std::string_view field) {
  std::string name;
  for (char c : TrimBlanks(field).substr(0, kWaypointNameLimit)) name += (c >= 0x20 && c < 0x7F) ? c : '?';
  return name;
}

// An altitude in feet; -777 is the format's "unknown".
bool Altitude(std::string_view field, double* feet) {
  double value = 0.0;
  if (!Number(field, &value) || value == -777.0) return false;
  *feet = value;
  return true;
}

}  // namespace

bool ParseTrackPointLine(std::string_view line, TrackLine* out) {
  // latitude, longitude, segment code, altitude, day number, date, time
  const Fields fields = Split(line);
  if (fields.count != 7) return false;
  TrackLine parsed;
  if (!Position(fields.field[0], fields.field[1], &parsed.latitude, &parsed.longitude)) return false;
  if (!DayNumber(fields.field[4], &parsed.dayNumber)) return false;
  parsed.hasAltitude = Altitude(fields.field[3], &parsed.altitudeFeet);
  *out = parsed;
  return true;
}

bool ParseRoutePointLine(std::string_view line, RouteLine* out) {
  // W, route, number, number, name, latitude, longitude, day number, ...
  const Fields fields = Split(line);
  if (fields.count < 8 || fields.field[0] != "W" || TrimBlanks(fields.field[1]) != "1") return false;
  RouteLine parsed;
  const std::string_view number = TrimBlanks(fields.field[2]);
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), parsed.number);
  if (number.empty() || error != std::errc() || end != number.data() + number.size()) return false;
  if (!Position(fields.field[5], fields.field[6], &parsed.latitude, &parsed.longitude)) return false;
  if (!DayNumber(fields.field[7], &parsed.dayNumber)) return false;
  parsed.name = ShownName(fields.field[4]);
  *out = std::move(parsed);
  return true;
}

bool ParseWaypointLine(std::string_view line, WaypointLine* out) {
  // number, name, latitude, longitude, day number, symbol, status, display
  // format, colours (2), description, pointer direction, display format,
  // proximity, altitude in feet, ...
  const Fields fields = Split(line);
  if (fields.count < 5) return false;
  WaypointLine parsed;
  if (!Position(fields.field[2], fields.field[3], &parsed.latitude, &parsed.longitude)) return false;
  if (!DayNumber(fields.field[4], &parsed.dayNumber)) return false;
  parsed.name = ShownName(fields.field[1]);
  parsed.hasAltitude = fields.count > 14 && Altitude(fields.field[14], &parsed.altitudeFeet);
  *out = std::move(parsed);
  return true;
}

}  // namespace pathmere
