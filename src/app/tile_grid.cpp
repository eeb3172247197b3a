#include "app/tile_grid.h"

#include <algorithm>
#include <cmath>

#include "text/safe_convert.h"

namespace pathmere {
namespace {

constexpr double kPi = 3.14159265358979323846;

double TileX(double longitude, int32_t zoom) { return (longitude + 180.0) / 360.0 * std::ldexp(1.0, zoom); }

double TileY(double latitude, int32_t zoom) {
  const double held =
      std::clamp(latitude, -TrackProjection::kMercatorLatitudeLimit, TrackProjection::kMercatorLatitudeLimit);
  const double y = std::asinh(std::tan(held * kPi / 180.0));
  return (1.0 - y / kPi) / 2.0 * std::ldexp(1.0, zoom);
}

double LongitudeOfTileX(double x, int32_t zoom) { return x / std::ldexp(1.0, zoom) * 360.0 - 180.0; }

double LatitudeOfTileY(double y, int32_t zoom) {
  return std::atan(std::sinh(kPi * (1.0 - 2.0 * y / std::ldexp(1.0, zoom)))) * 180.0 / kPi;
}

int32_t Clamped(double tile, int32_t zoom) {
  const double last = std::ldexp(1.0, zoom) - 1.0;
  return TruncateToInt32(std::clamp(std::floor(tile), 0.0, last));
}

}  // namespace

int32_t TileZoomFor(const TrackProjection& projection, int32_t tileSize, int32_t minZoom, int32_t maxZoom) {
  minZoom = std::clamp(minZoom, 0, kMostTileZoom);
  maxZoom = std::clamp(maxZoom, minZoom, kMostTileZoom);
  const double tilesAcross = projection.pixelsPerDegreeEast() * 360.0 / std::max(tileSize, 1);
  const double zoom = tilesAcross > 0.0 ? std::round(std::log2(tilesAcross)) : 0.0;
  return TruncateToInt32(std::clamp(zoom, static_cast<double>(minZoom), static_cast<double>(maxZoom)));
}

TileKey TileAt(double latitude, double longitude, int32_t zoom) {
  zoom = std::clamp(zoom, 0, kMostTileZoom);
  return {zoom, Clamped(TileX(longitude, zoom), zoom), Clamped(TileY(latitude, zoom), zoom)};
}

std::vector<TilePlacement> VisibleTiles(const TrackProjection& projection, int32_t zoom) {
  zoom = std::clamp(zoom, 0, kMostTileZoom);
  double north = 0.0;
  double west = 0.0;
  double south = 0.0;
  double east = 0.0;
  projection.FromPixel(0.0, 0.0, &north, &west);
  projection.FromPixel(projection.width(), projection.height(), &south, &east);
  const TileKey first = TileAt(north, std::max(west, -180.0), zoom);
  const TileKey last = TileAt(south, std::min(east, 180.0 - 1e-9), zoom);
  std::vector<TilePlacement> tiles;
  for (int32_t y = first.y; y <= last.y; ++y) {
    for (int32_t x = first.x; x <= last.x; ++x) {
      if (tiles.size() >= kMostTilesInView) return tiles;
      TilePlacement tile{{zoom, x, y}};
      projection.ToPixel(LatitudeOfTileY(y, zoom), LongitudeOfTileX(x, zoom), &tile.left, &tile.top);
      projection.ToPixel(LatitudeOfTileY(y + 1.0, zoom), LongitudeOfTileX(x + 1.0, zoom), &tile.right,
                         &tile.bottom);
      tiles.push_back(tile);
    }
  }
  return tiles;
}

}  // namespace pathmere
