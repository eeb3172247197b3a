#pragma once

#include "fix/gps_fix.h"

namespace pathmere {

// Decodes a "$GPRMC," sentence (checksum still in the text) into `fix`.
// Returns 0, or the number of the step that failed (1-7, 10). Only on success
// is timeOfDay written, which marks the record valid.
int DecodeRmc(const char* sentence, GpsFix* fix);

}  // namespace pathmere
