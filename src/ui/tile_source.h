#pragma once

#include <memory>

#include <QByteArray>
#include <QString>

#include "app/tile_grid.h"

namespace pathmere {

// Where map tiles come from: what the map offers (zooms, tile size, the
// attribution to show) and each tile's encoded picture.
class TileSource {
 public:
  virtual ~TileSource() = default;

  // The tile's PNG, JPEG or WebP bytes; empty when the source has none.
  virtual QByteArray TileBytes(const TileKey& key) = 0;

  // The file or folder it reads.
  QString path;
  QString name;
  QString attribution;
  int minZoom = 0;
  int maxZoom = 19;
  int tileSize = 256;
};

// An MBTiles file or a folder laid out z/x/y.png (or .jpg, .webp), as
// "Open map file..." takes it; null with `problem` set when it is neither.
std::unique_ptr<TileSource> OpenMapFile(const QString& path, QString* problem);

}  // namespace pathmere
