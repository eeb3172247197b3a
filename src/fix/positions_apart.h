#pragma once

#include <cstdint>

namespace pathmere {

// 1 when the two positions (degrees) are more than `limit` metres apart, else
// 0. Flat-earth approximation around the mean latitude; no wrap at the date
// line.
int32_t PositionsApart(double latitude1, double longitude1, double latitude2, double longitude2,
                       double limit);

}  // namespace pathmere
