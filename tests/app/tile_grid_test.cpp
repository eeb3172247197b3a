// The tile grid of web maps against the view's projection.
#include "app/tile_grid.h"

#include <gtest/gtest.h>

namespace pathmere {
namespace {

TEST(TileGridTest, PositionsFallInTheirTilesAndTilesMeetThePixels) {
  const struct {
    const char* legend;
    double latitude;
    double longitude;
    int32_t zoom;
    TileKey tile;
  } rows[] = {
      {"the whole world", 51.5, -0.1, 0, {0, 0, 0}},
      {"London at 10", 51.5, -0.1, 10, {10, 511, 340}},
      {"Sydney at 12", -33.86, 151.21, 12, {12, 3768, 2457}},
      {"a pole is held at the edge", 90.0, 0.0, 3, {3, 4, 0}},
      {"the south edge", -90.0, 179.999, 3, {3, 7, 7}},
      {"beyond the date line is held", 0.0, 540.0, 2, {2, 3, 2}},
      {"absurd zoom is held",
       0.0,
       0.0,
       99,
       {kMostTileZoom, 1 << (kMostTileZoom - 1), 1 << (kMostTileZoom - 1)}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(TileAt(row.latitude, row.longitude, row.zoom), row.tile) << row.legend;

  // A view of a few kilometres: the zoom whose tiles are nearest the screen's
  // pixels, tiles of about 256 pixels that cover the viewport, and each
  // position inside the tile that holds it.
  TrackProjection projection;
  projection.SetViewport(640, 480);
  GeoBounds bounds;
  bounds.Include(51.49, -0.12);
  bounds.Include(51.51, -0.08);
  projection.Fit(bounds);
  for (const double factor : {1.0, 4.0, 1.0 / 64.0}) {
    projection.ZoomAbout(320, 240, factor);
    const int32_t zoom = TileZoomFor(projection, 256, 0, 19);
    const std::vector<TilePlacement> tiles = VisibleTiles(projection, zoom);
    ASSERT_FALSE(tiles.empty());
    double covered = 0.0;
    for (const TilePlacement& tile : tiles) {
      EXPECT_GT(tile.right - tile.left, 256 / 1.5) << factor;
      EXPECT_LT(tile.right - tile.left, 256 * 1.5) << factor;
      EXPECT_NEAR(tile.right - tile.left, tile.bottom - tile.top, 0.01) << "square: the same scale both ways";
      covered += (std::min(tile.right, 640.0) - std::max(tile.left, 0.0)) *
                 (std::min(tile.bottom, 480.0) - std::max(tile.top, 0.0));
    }
    EXPECT_NEAR(covered, 640.0 * 480.0, 1.0) << factor;
    for (const auto& [latitude, longitude] : {std::pair{51.5, -0.1}, std::pair{51.503, -0.09}}) {
      double x = 0.0;
      double y = 0.0;
      projection.ToPixel(latitude, longitude, &x, &y);
      const TileKey key = TileAt(latitude, longitude, zoom);
      for (const TilePlacement& tile : tiles) {
        if (!(tile.key == key)) continue;
        EXPECT_TRUE(x >= tile.left && x < tile.right && y >= tile.top && y < tile.bottom) << factor;
      }
    }
  }
  EXPECT_EQ(TileZoomFor(projection, 256, 3, 5), 5) << "held to the source's zooms";
}

}  // namespace
}  // namespace pathmere
