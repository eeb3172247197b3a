#pragma once

#include <cstdint>
#include <string_view>

namespace pathmere {

// What the end of a day's route file says about the route's last point.
struct RouteTail {
  enum class Outcome {
    kLastPoint,      // a point the route can go on from
    kNoPointLine,    // no "\nW,1," line at all: the run says so
    kUnusablePoint,  // a point line whose number or name cannot be continued
  };
  Outcome outcome = Outcome::kNoPointLine;
  // With kLastPoint only:
  int32_t pointNumber = 0;  // 1 to one below the top of the int32 range
  int32_t nameNumber = 0;   // 0 to 999
  char letters[2] = {};     // the capitals after the name's "R"
};

// Reads the last point line of route 1 out of `tail`, the end of the day's
// file. Every byte counts, a NUL included: it ends only a number or a name
// that runs into it.
RouteTail ParseLastRoutePoint(std::string_view tail);

}  // namespace pathmere
