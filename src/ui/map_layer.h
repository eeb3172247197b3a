#pragma once

#include <memory>
#include <utility>

#include <QCache>
#include <QImage>
#include <QSet>

#include "app/track_projection.h"
#include "ui/tile_source.h"

class QPainter;

namespace pathmere {

// The map under the track: the tiles of the source at the zoom nearest the
// view's scale, each where the projection puts its corners, so tiles and
// track agree to the pixel. A tile the source lacks is drawn from the next
// coarser one it has, scaled, and else left empty.
class MapLayer {
 public:
  // Decoded tiles kept: several screens' worth.
  static constexpr int kCachedTiles = 256;
  // How many zooms coarser a stand-in tile may be.
  static constexpr int kCoarserLevels = 4;

  void SetSource(std::unique_ptr<TileSource> source);
  TileSource* source() const { return source_.get(); }

  void Paint(QPainter& painter, const TrackProjection& projection) const;

 private:
  // The decoded tile, or a null image when the source has none.
  QImage Tile(const TileKey& key) const;
  // `key`'s picture from `image` (its tile, or the one `levels` zooms
  // coarser) at `size` device pixels.
  QImage Scaled(const TileKey& key, int levels, const QImage& image, QSize size, double ratio) const;

  using ScaledKey = std::pair<quint64, quint64>;

  std::unique_ptr<TileSource> source_;
  mutable QCache<quint64, QImage> decoded_{kCachedTiles};
  mutable QCache<ScaledKey, QImage> scaled_{kCachedTiles / 2};
  mutable QSet<quint64> missing_;
};

// Draws `text` bottom right of `area` on a pale band, as map attributions are.
void PaintAttribution(QPainter& painter, const QRect& area, const QString& text);

}  // namespace pathmere
