#pragma once

#include <cstdint>

namespace pathmere {

// The numeric settings, with their defaults. The output folder has no variable
// of its own: each writer holds it.
struct Settings {
  int32_t portNumber = -1;  // -1: no port
  int32_t portSpeed = 4800;
  int32_t enableNmeaLog = 0;
  int32_t hideAtStartup = 0;
};

}  // namespace pathmere
