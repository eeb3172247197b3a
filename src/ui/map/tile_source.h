#pragma once

#include <memory>

#include <QByteArray>
#include <QString>
#include <QUrl>

#include "app/tile_grid.h"

namespace pathmere {

// Where map tiles come from: what the map offers (zooms, tile size, the
// attribution to show) and each tile's encoded picture.
class TileSource {
 public:
  virtual ~TileSource() = default;

  // The tile's PNG, JPEG or WebP bytes; empty when the source has none.
  // Called on a worker thread, one call at a time.
  virtual QByteArray TileBytes(const TileKey& key) = 0;
  // A tile server's address of the tile (with `highDensity`, its "@2x"
  // picture); empty for a map read from disk.
  virtual QUrl TileUrl(const TileKey& key, bool highDensity) const {
    (void)key;
    (void)highDensity;
    return {};
  }

  // False for a tile the map surely lacks (outside its bounds): it is not
  // looked up.
  virtual bool Holds(const TileKey& key) const {
    (void)key;
    return true;
  }

  // The file or folder it reads.
  QString path;
  QString name;
  QString attribution;
  int minZoom = 0;
  int maxZoom = 19;
  int tileSize = 256;
  // The server has tiles of twice the pixels for high-density screens.
  bool offersHighDensity = false;
};

// An MBTiles file or a folder laid out z/x/y.png (or .jpg, .webp), as
// "Open map file..." takes it; null with `problem` set when it is neither.
std::unique_ptr<TileSource> OpenMapFile(const QString& path, QString* problem);

}  // namespace pathmere
