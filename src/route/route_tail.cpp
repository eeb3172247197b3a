#include "route/route_tail.h"

#include <limits>

#include "text/c_conversions.h"

namespace pathmere {
namespace {

bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

RouteTail ParseLastRoutePoint(std::string_view tail) {
  RouteTail result;
  const size_t line = tail.rfind("\nW,1,");
  if (line == std::string_view::npos) return result;
  result.outcome = RouteTail::Outcome::kUnusablePoint;

  // "W,1,<number>,<number>,<name>,": the first number and the name count.
  const size_t numberStart = line + 5;
  const int32_t lastPoint = ScanInt(tail.substr(numberStart));
  // A number at the top of the range cannot be followed by another.
  if (lastPoint <= 0 || lastPoint == std::numeric_limits<int32_t>::max()) return result;

  const size_t firstComma = tail.find(',', numberStart);
  if (firstComma == std::string_view::npos) return result;
  const size_t secondComma = tail.find(',', firstComma + 1);
  if (secondComma == std::string_view::npos) return result;
  // The name is "R", two capitals and the name number 000 to 999.
  const std::string_view name = tail.substr(secondComma + 1);
  const size_t nameLength = name.find('\0') == std::string_view::npos ? name.size() : name.find('\0');
  if (nameLength < 6 || name[0] != 'R' || !IsCapital(name[1]) || !IsCapital(name[2])) return result;
  const int32_t lastName = ScanInt(name.substr(3));
  if (lastName < 0 || lastName > 999) return result;

  result.outcome = RouteTail::Outcome::kLastPoint;
  result.pointNumber = lastPoint;
  result.nameNumber = lastName;
  result.letters[0] = name[1];
  result.letters[1] = name[2];
  return result;
}

}  // namespace pathmere
