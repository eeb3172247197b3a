#pragma once

namespace pathmere {

// An open file of the platform's file services (a POSIX descriptor).
using FileHandle = int;
inline constexpr FileHandle kInvalidFile = -1;

}  // namespace pathmere
