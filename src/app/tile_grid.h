#pragma once

#include <cstdint>
#include <vector>

#include "app/track_projection.h"

namespace pathmere {

// A map tile in the XYZ scheme of web maps: row 0 at the north.
struct TileKey {
  int32_t zoom = 0;
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const TileKey&) const = default;
  // The tile `levels` zooms coarser that holds this one.
  TileKey Parent(int32_t levels) const { return {zoom - levels, x >> levels, y >> levels}; }
};

// A tile and where it lies on the screen, in pixels (fractions kept, so
// neighbours meet without seams once rounded the same way).
struct TilePlacement {
  TileKey key;
  double left = 0.0;
  double top = 0.0;
  double right = 0.0;
  double bottom = 0.0;
};

inline constexpr int32_t kMostTileZoom = 24;
// More than a 4K screen of 256-pixel tiles; a view never asks for more.
inline constexpr size_t kMostTilesInView = 600;

// The zoom whose tile pixels come nearest to the screen's, within the
// source's range.
int32_t TileZoomFor(const TrackProjection& projection, int32_t tileSize, int32_t minZoom, int32_t maxZoom);
// The tiles of `zoom` that cover the viewport, row by row.
std::vector<TilePlacement> VisibleTiles(const TrackProjection& projection, int32_t zoom);
// The tile of `zoom` holding a position.
TileKey TileAt(double latitude, double longitude, int32_t zoom);

}  // namespace pathmere
