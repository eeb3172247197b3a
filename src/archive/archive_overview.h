#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/day_track.h"

namespace pathmere {

// What the archive keeps of a day to draw it over years of others: its line
// simplified (Douglas-Peucker) to at most half a pixel at each of a few
// zooms, cut into the Web-Mercator tiles of that zoom, each tile's lines as
// delta-coded integers. A view at zoom z draws the level of the first zoom
// at or above z, within half a pixel of the full track; beyond the last,
// the full track (the archive's pieces).

// Web Mercator in whole units: the world is 2^32 units across (zoom 24 of
// 256-pixel tiles), x east from 180 W, y south from 85.05 N.
struct WorldPoint {
  int64_t x = 0;
  int64_t y = 0;
  bool operator==(const WorldPoint&) const = default;
};
inline constexpr int64_t kWorldUnits = int64_t{1} << 32;
WorldPoint WorldPointOf(double longitude, double mercatorY);

// Web Mercator's northing (MercatorY) of a day's latitudes, which lie near
// one another: a Taylor series about the nearest quarter degree, worked
// out exactly, within a hundred-thousandth of a world unit; exact beyond 70
// degrees, where the series needs more terms. The tangent and the
// logarithms it spares were most of the cost of a point's overview. It
// depends on the latitude alone, not on the points before, so a day
// indexed as it grows gets the same values as one indexed once.
class NearbyMercatorY {
 public:
  double Of(double latitude);

 private:
  double cell_ = 1e9;     // the centre, in quarter degrees; none yet
  double terms_[6] = {};  // y and its derivatives over k! at the centre, per radian
};

// Beyond zoom 13 a view shows a few kilometres: it draws the pieces.
inline constexpr int kOverviewZooms[] = {4, 7, 10, 13};
// Half a pixel of a 256-pixel tile at `zoom`, in world units.
inline constexpr double HalfPixelUnits(int zoom) {
  return static_cast<double>(kWorldUnits) / (512.0 * static_cast<double>(int64_t{1} << zoom));
}

// A day's line is simplified in runs of this many points, each on its own
// (a run ends on the next one's first point, so the line has no gap): a day
// that grows is simplified again only from its last run on.
inline constexpr size_t kOverviewRunPoints = 2048;

struct OverviewTile {
  int zoom = 0;
  int64_t x = 0;  // tile column and row at that zoom
  int64_t y = 0;
  int64_t run = 0;  // of the day's runs, the one this part of the tile is of
  std::string blob;
};

// The day's tiles at every level, a tile for each run that passes it, of
// the runs from `firstRun` on: `points` are the day's points from the
// first of that run on. Lines break where the track does.
std::vector<OverviewTile> BuildOverviewTiles(std::span<const DayTrackPoint> points, size_t firstRun = 0);
// The lines of one tile's blob; false when it is damaged.
bool DecodeOverviewTile(const OverviewTile& tile, std::vector<std::vector<WorldPoint>>* lines);
// The indexes of the points Douglas-Peucker keeps of `line` at `tolerance`.
std::vector<size_t> SimplifyLine(std::span<const WorldPoint> line, double tolerance);
// The level a view at `zoom` draws: an index into kOverviewZooms, or -1 for
// the full track.
int OverviewLevelFor(double zoom);

}  // namespace pathmere
