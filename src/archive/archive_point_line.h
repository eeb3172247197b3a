#pragma once

#include <string_view>

#include "archive/archive_codec.h"

namespace pathmere {

// A .plt track point line straight into the archive's whole units: what
// ArchivePointOf makes of what ParseTrackPointLine reads, without going
// through doubles for the plain decimals the writers put there (any other
// spelling takes that way). False for a line that is no track point.
bool ParseArchivePointLine(std::string_view line, ArchivePoint* out);

}  // namespace pathmere
