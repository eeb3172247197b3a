#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fix/gps_fix.h"

namespace pathmere {

// Why a message on the collector's topics is not used.
enum class MessageProblem {
  kNone,
  kTopic,        // not owntracks/USER/DEVICE with safe parts
  kTooLarge,     // beyond any location message
  kNotJson,      // not a JSON object
  kNotLocation,  // another `_type` (a last will, say): skipped, not an error
  kMissing,      // `lat`, `lon` or `tst` missing or not a number
  kAbsurd,       // a position or time no receiver gives
  kFuture,       // a `tst` more than a day after the collector's clock
};

// A part of a topic that can name a folder safely: letters, digits, "-", "_"
// and "." (not first: no hidden folder, no "." or ".."), 1 to 64 bytes.
bool IsTopicPart(std::string_view part);

struct DecodedLocation {
  MessageProblem problem = MessageProblem::kNone;
  std::string user;
  std::string device;
  int64_t tst = 0;
  GpsFix fix;  // UTC date and time from `tst`, position, altitude, speed, course
};

// The largest payload looked at.
inline constexpr size_t kLargestMessage = 16 * 1024;

// One message from owntracks/+/+ checked and read: the topic's parts, then
// the JSON. Whatever the bytes, the result is defined and names no path.
DecodedLocation DecodeOwnTracksMessage(std::string_view topic, std::string_view payload);

// "not JSON", "missing lat, lon or tst", ... for the collector's counts.
const char* MessageProblemText(MessageProblem problem);

}  // namespace pathmere
