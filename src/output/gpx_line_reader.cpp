#include "output/gpx_line_reader.h"

#include <charconv>
#include <cmath>

#include "fix/fix_time.h"

namespace pathmere {
namespace {

// The same bound the writer keeps; beyond it a field is noise.
constexpr double kLargestSpeed = 1e5;

// The text between `open` and the next `close`, or nothing.
bool Element(std::string_view line, std::string_view open, std::string_view close, std::string_view* text) {
  const size_t start = line.find(open);
  if (start == std::string_view::npos) return false;
  const size_t from = start + open.size();
  const size_t end = line.find(close, from);
  if (end == std::string_view::npos) return false;
  *text = line.substr(from, end - from);
  return true;
}

bool Digits(std::string_view text, size_t at, size_t count, unsigned* value) {
  if (at + count > text.size()) return false;
  unsigned number = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    number = number * 10 + static_cast<unsigned>(text[i] - '0');
  }
  *value = number;
  return true;
}

// "2026-12-06T02:56:44.25Z" as a day number.
bool DayNumberOfUtcTime(std::string_view text, double* dayNumber) {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (text.size() < 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text.back() != 'Z' || !Digits(text, 0, 4, &year) || !Digits(text, 5, 2, &month) ||
      !Digits(text, 8, 2, &day) || !Digits(text, 11, 2, &hour) || !Digits(text, 14, 2, &minute) ||
      !Digits(text, 17, 2, &second)) {
    return false;
  }
  if (year < 2000 || year > 2255 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
      minute > 59 || second > 59) {
    return false;
  }
  double fraction = 0.0;
  const std::string_view rest = text.substr(19, text.size() - 20);
  if (!rest.empty()) {
    if (rest.front() != '.' || rest.size() < 2 || rest.size() > 10) return false;
    unsigned digits = 0;
    if (!Digits(rest, 1, rest.size() - 1, &digits)) return false;
    fraction = digits / std::pow(10.0, static_cast<double>(rest.size() - 1));
  }
  const double whole = FixTimeToDays(day, month, year, hour, minute, second);
  if (whole == 0.0) return false;
  *dayNumber = whole + fraction / 86400.0;
  return true;
}

}  // namespace

bool ParseGpxPointSpeed(std::string_view line, GpxPointSpeed* out) {
  if (!line.starts_with("<trkpt ")) return false;
  std::string_view time;
  std::string_view speed;
  if (!Element(line, "<time>", "</time>", &time) ||
      !Element(line, "<gpxtpx:speed>", "</gpxtpx:speed>", &speed)) {
    return false;
  }
  GpxPointSpeed parsed;
  if (!DayNumberOfUtcTime(time, &parsed.dayNumber)) return false;
  const auto [end, error] =
      std::from_chars(speed.data(), speed.data() + speed.size(), parsed.metresPerSecond);
  if (error != std::errc() || end != speed.data() + speed.size() || !std::isfinite(parsed.metresPerSecond) ||
      parsed.metresPerSecond < 0.0 || parsed.metresPerSecond >= kLargestSpeed) {
    return false;
  }
  *out = parsed;
  return true;
}

}  // namespace pathmere
