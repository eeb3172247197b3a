#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace pathmere {

// Truncates toward zero like a C cast, but defined for every double: NaN gives
// 0 and values beyond the int32 range saturate. Receivers can send absurd
// fields ("1e999", a hundred digits) that still decode.
inline int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

}  // namespace pathmere
