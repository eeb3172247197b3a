#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "archive/archive_codec.h"

namespace pathmere {

// A .plt track point line straight into the archive's whole units: what
// ArchivePointOf makes of what ParseTrackPointLine reads, without going
// through doubles for the plain decimals the writers put there (any other
// spelling takes that way). False for a line that is no track point.
bool ParseArchivePointLine(std::string_view line, ArchivePoint* out);

// ParseArchivePointLine over each whole line of `text` (ended by LF), in
// one pass instead of a search for each line's end and then its fields;
// the points are appended, and the bytes those lines span returned (a last
// line without its LF is left for later).
size_t ParseArchivePoints(std::string_view text, std::vector<ArchivePoint>* points);

}  // namespace pathmere
