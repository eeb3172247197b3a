#pragma once

namespace pathmere {

// The OziExplorer files keep altitudes in feet.
inline constexpr double kFeetPerMetre = 3.2808399;

}  // namespace pathmere
