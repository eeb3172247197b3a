#pragma once

// What the tests of maps from a tile server share: a real HTTP server on
// 127.0.0.1 (tests/support) serves tiles of known colours and says how long
// they keep; the map layer fetches them through its disk cache in a
// temporary folder, and a view of Greenwich shows them.
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <QImage>

#include "support/map_tiles.h"
#include "support/scoped_env.h"
#include "support/test_environment.h"
#include "support/tile_server.h"
#include "ui/map/map_layer.h"
#include "ui/map/online_tile_source.h"

namespace pathmere::testing {

// The tile a request's path names ("/z/x/y.png").
inline bool TileOf(const std::string& path, TileKey* key) {
  static const std::regex tile(R"(/(\d+)/(\d+)/(\d+)(@2x)?\.png)");
  std::smatch match;
  if (!std::regex_match(path, match, tile)) return false;
  *key = {std::stoi(match[1]), std::stoi(match[2]), std::stoi(match[3])};
  return true;
}

inline std::string PathOf(const TileKey& key) {
  return "/" + std::to_string(key.zoom) + "/" + std::to_string(key.x) + "/" + std::to_string(key.y) + ".png";
}

// A good tile that keeps for `maxAge` seconds, with an ETag.
inline TileServer::Reply GoodTile(const TileServer::Request& request, int maxAge = 3600) {
  TileKey key;
  if (!TileOf(request.path, &key)) return {404, "", {}};
  const bool doubled = request.path.find("@2x") != std::string::npos;
  const QByteArray png = TilePng(key, doubled ? 512 : 256);
  return {200,
          png.toStdString(),
          {{"Content-Type", "image/png"},
           {"Cache-Control", "max-age=" + std::to_string(maxAge)},
           {"ETag", "\"" + request.path + "\""}}};
}

class TileServerTest : public ::testing::Test {
 protected:
  TileServerTest() {
    view.SetViewport(800, 600);
    GeoBounds bounds;
    bounds.Include(51.47, -0.03);
    bounds.Include(51.49, 0.01);
    view.Fit(bounds);
  }

  std::unique_ptr<TileSource> Source(const TileServer& server) { return SourceAt(server.address()); }
  static std::unique_ptr<TileSource> SourceAt(const std::string& address,
                                              const char* tail = "/{z}/{x}/{y}.png") {
    MapSourceFile file;
    file.name = QStringLiteral("Loopback");
    file.urlTemplate = QString::fromStdString(address) + QLatin1String(tail);
    file.attribution = QStringLiteral("(c) Loopback");
    return std::make_unique<OnlineTileSource>(file);
  }

  std::set<std::string> VisiblePaths(const TrackProjection& projection) const {
    std::set<std::string> paths;
    for (const TilePlacement& tile : VisibleTiles(projection, TileZoomFor(projection, 256, 0, 19)))
      paths.insert(PathOf(tile.key));
    return paths;
  }

  // The pixel under a position has its tile's colour.
  static void ExpectTileColour(const QImage& image, const TrackProjection& projection, double latitude,
                               double longitude, QColor colour) {
    double x = 0.0;
    double y = 0.0;
    projection.ToPixel(latitude, longitude, &x, &y);
    EXPECT_EQ(image.pixelColor(static_cast<int>(x), static_cast<int>(y)), colour)
        << latitude << "," << longitude;
  }
  QColor ColourAt(double latitude, double longitude) const {
    return TileColour(TileAt(latitude, longitude, TileZoomFor(view, 256, 0, 19)));
  }

  TempFolder temp;
  ScopedEnv cacheHome{"XDG_CACHE_HOME", temp.path().c_str()};
  TrackProjection view;
};

}  // namespace pathmere::testing
