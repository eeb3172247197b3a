#pragma once

#include "ui/map/map_source_file.h"
#include "ui/map/tile_source.h"

namespace pathmere {

// A tile server named by a map source file. Its tiles come through the map
// layer's fetcher, never from TileBytes.
class OnlineTileSource final : public TileSource {
 public:
  explicit OnlineTileSource(const MapSourceFile& file);

  QByteArray TileBytes(const TileKey&) override { return {}; }
  QUrl TileUrl(const TileKey& key, bool highDensity) const override;

 private:
  QString urlTemplate_;
};

}  // namespace pathmere
