#pragma once

#include <memory>

#include "ui/map/tile_source.h"

namespace pathmere {

// A folder of tiles laid out z/x/y.png (or .jpg, .webp), rows from the
// north, as tile download tools and map renderers write them.
class FolderTileSource final : public TileSource {
 public:
  // Null with `problem` set when `path` holds no zoom folder.
  static std::unique_ptr<FolderTileSource> Open(const QString& path, QString* problem);

  QByteArray TileBytes(const TileKey& key) override;

 private:
  QString folder_;
};

}  // namespace pathmere
