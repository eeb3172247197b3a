#include "output/owntracks_location.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "fix/fix_time.h"
#include "text/safe_convert.h"

namespace pathmere {
namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's method).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Rounded to the nearest, halves away from zero; never undefined.
int32_t RoundToInt32(double value) { return TruncateToInt32(std::round(value)); }

double RoundTo6Decimals(double degrees) { return std::round(degrees * 1e6) / 1e6; }

}  // namespace

std::optional<int64_t> FixEpochSeconds(const GpsFix& fix) {
  const int year = 2000 + fix.year;
  if (fix.month < 1 || fix.month > 12 || fix.day < 1 || fix.day > DaysInMonth(year, fix.month)) return {};
  if (fix.hour > 23 || fix.minute > 59) return {};
  const int32_t second = HasSeconds(fix) ? WholeSecond(fix.seconds) : 0;
  if (second < 0 || second > 60) return {};
  return DaysFromCivil(year, fix.month, fix.day) * 86400 + fix.hour * 3600 + fix.minute * 60 + second;
}

std::string ComposeOwnTracksLocation(const GpsFix& fix, std::string_view trackerId, int64_t createdAt) {
  const std::optional<int64_t> tst = FixEpochSeconds(fix);
  if (!tst || !std::isfinite(fix.latitude) || !std::isfinite(fix.longitude)) return {};
  if (std::fabs(fix.latitude) > 90.0 || std::fabs(fix.longitude) > 360.0) return {};
  double longitude = fix.longitude;
  if (longitude >= 180.0) longitude -= 360.0;
  nlohmann::ordered_json message;
  message["_type"] = "location";
  message["lat"] = RoundTo6Decimals(fix.latitude);
  message["lon"] = RoundTo6Decimals(longitude);
  message["tst"] = *tst;
  if (HasAltitude(fix) && std::isfinite(fix.altitude)) message["alt"] = RoundToInt32(fix.altitude);
  if (std::isfinite(fix.speed)) message["vel"] = RoundToInt32(std::fabs(fix.speed));
  if (std::isfinite(fix.course)) {
    int32_t course = RoundToInt32(std::fmod(fix.course, 360.0));
    if (course < 0) course += 360;
    message["cog"] = course % 360;
  }
  message["tid"] = std::string(trackerId);
  message["created_at"] = createdAt;
  // Bytes of an odd tracker id are replaced, never a reason to fail.
  return message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string ComposeOwnTracksWill(int64_t connectedAt) {
  nlohmann::ordered_json message;
  message["_type"] = "lwt";
  message["tst"] = connectedAt;
  return message.dump();
}

}  // namespace pathmere
