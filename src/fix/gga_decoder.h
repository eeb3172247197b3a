#pragma once

#include "fix/gps_fix.h"

namespace pathmere {

// Decodes a "$GPGGA," sentence into `fix` (a GGA slot). Returns 0 or the
// number of the step that failed (1-10). Position fields are skipped: the
// position always comes from RMC.
int DecodeGga(const char* sentence, GpsFix* fix);

}  // namespace pathmere
