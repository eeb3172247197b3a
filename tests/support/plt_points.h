#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <vector>

namespace pathmere::testing {

// A track point as a .plt line and an OwnTracks message can both state it:
// `tst` (the line's UTC date and time to the second), lat and lon to the 6
// decimals the message carries, and the altitude in metres (0 when the line
// has none) within the half metre a message rounds it to.
struct PltPoint {
  int64_t tst = 0;
  double lat = 0;
  double lon = 0;
  double altitudeMetres = 0;
  bool operator==(const PltPoint& other) const;
};
std::ostream& operator<<(std::ostream& out, const PltPoint& p);

// The points of a .plt after its six header lines; a line that is not a
// point fails the test.
std::vector<PltPoint> PltPoints(const std::filesystem::path& plt);

}  // namespace pathmere::testing
