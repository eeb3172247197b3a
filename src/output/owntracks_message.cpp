#include "output/owntracks_message.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace pathmere {

namespace {

// 2000-01-01 and 2100-01-01: the years the two-digit dates of the day files
// can name.
constexpr int64_t kFirstTst = 946684800;
constexpr int64_t kEndTst = 4102444800;

// Date from days since 1970-01-01 (H. Hinnant's method).
void CivilFromDays(int64_t days, int* year, int* month, int* day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  *day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  *month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  *year = static_cast<int>(static_cast<int64_t>(yearOfEra) + era * 400 + (*month <= 2 ? 1 : 0));
}

// A finite number within [low, high], else nothing.
bool NumberWithin(const nlohmann::json& object, const char* key, double low, double high, double* value) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_number()) return false;
  const double number = it->get<double>();
  if (!std::isfinite(number) || number < low || number > high) return false;
  *value = number;
  return true;
}

}  // namespace

bool IsTopicPart(std::string_view part) {
  if (part.empty() || part.size() > 64 || part[0] == '.') return false;
  for (const char c : part) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '_' || c == '.';
    if (!ok) return false;
  }
  return true;
}

DecodedLocation DecodeOwnTracksMessage(std::string_view topic, std::string_view payload) {
  DecodedLocation decoded;
  constexpr std::string_view kPrefix = "owntracks/";
  const size_t slash = topic.find('/', kPrefix.size());
  if (topic.substr(0, kPrefix.size()) != kPrefix || slash == std::string_view::npos ||
      !IsTopicPart(topic.substr(kPrefix.size(), slash - kPrefix.size())) ||
      !IsTopicPart(topic.substr(slash + 1))) {
    decoded.problem = MessageProblem::kTopic;
    return decoded;
  }
  if (payload.size() > kLargestMessage) {
    decoded.problem = MessageProblem::kTooLarge;
    return decoded;
  }
  const nlohmann::json json = nlohmann::json::parse(payload.begin(), payload.end(), nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    decoded.problem = MessageProblem::kNotJson;
    return decoded;
  }
  const auto type = json.find("_type");
  if (type == json.end() || !type->is_string() || type->get<std::string>() != "location") {
    decoded.problem = MessageProblem::kNotLocation;
    return decoded;
  }
  double lat = 0, lon = 0, tst = 0;
  const bool hasAll = json.contains("lat") && json.contains("lon") && json.contains("tst");
  if (!hasAll || !json["lat"].is_number() || !json["lon"].is_number() || !json["tst"].is_number()) {
    decoded.problem = MessageProblem::kMissing;
    return decoded;
  }
  if (!NumberWithin(json, "lat", -90.0, 90.0, &lat) || !NumberWithin(json, "lon", -180.0, 180.0, &lon) ||
      !NumberWithin(json, "tst", kFirstTst, kEndTst - 1, &tst)) {
    decoded.problem = MessageProblem::kAbsurd;
    return decoded;
  }
  decoded.user = std::string(topic.substr(kPrefix.size(), slash - kPrefix.size()));
  decoded.device = std::string(topic.substr(slash + 1));
  decoded.tst = static_cast<int64_t>(tst);
  GpsFix& fix = decoded.fix;
  int year = 0, month = 0, day = 0;
  CivilFromDays(decoded.tst / 86400, &year, &month, &day);
  const auto secondOfDay = static_cast<int32_t>(decoded.tst % 86400);
  fix.year = static_cast<uint8_t>(year - 2000);
  fix.month = static_cast<uint8_t>(month);
  fix.day = static_cast<uint8_t>(day);
  fix.hour = static_cast<uint8_t>(secondOfDay / 3600);
  fix.minute = static_cast<uint8_t>(secondOfDay / 60 % 60);
  fix.seconds = secondOfDay % 60;
  fix.timeOfDay = secondOfDay;
  fix.latitude = lat;
  fix.longitude = lon;
  // The rest only where it is a number a vehicle can have.
  fix.altitude = kUnknownAltitude;
  NumberWithin(json, "alt", -1000.0, 100000.0, &fix.altitude);
  NumberWithin(json, "vel", 0.0, 100000.0, &fix.speed);
  NumberWithin(json, "cog", 0.0, 360.0, &fix.course);
  fix.satellites = kUnknownSatellites;
  fix.hdop = kUnknownHdop;
  return decoded;
}

const char* MessageProblemText(MessageProblem problem) {
  switch (problem) {
    case MessageProblem::kNone:
      return "used";
    case MessageProblem::kTopic:
      return "not owntracks/USER/DEVICE with plain names";
    case MessageProblem::kTooLarge:
      return "too large";
    case MessageProblem::kNotJson:
      return "not a JSON object";
    case MessageProblem::kNotLocation:
      return "not a location";
    case MessageProblem::kMissing:
      return "lat, lon or tst missing";
    case MessageProblem::kAbsurd:
      return "a position or time out of range";
    case MessageProblem::kFuture:
      return "a time more than a day ahead";
  }
  return "unknown";
}

}  // namespace pathmere
