#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fix/gps_fix.h"

namespace pathmere {

// Seconds since 1970-01-01 00:00 UTC of the fix's date and whole second;
// nullopt for a date that is no calendar date.
std::optional<int64_t> FixEpochSeconds(const GpsFix& fix);

// The OwnTracks location message of one track point, as map programs and
// home automation read it: `_type` "location", `lat` and `lon` (6 decimals,
// about 0.1 m), `tst` (the fix's UTC time), `alt` (whole metres, left out
// where unknown), `vel` (whole km/h), `cog` (whole degrees, 0 to 359), `tid`
// and `created_at` (when the message was made). No `acc`: the receiver's
// HDOP is no distance, and a made-up radius would mislead. Empty for a fix
// without a calendar date or with a position that is no number.
std::string ComposeOwnTracksLocation(const GpsFix& fix, std::string_view trackerId, int64_t createdAt);

// The last will: the device went away without a word.
std::string ComposeOwnTracksWill(int64_t connectedAt);

}  // namespace pathmere
