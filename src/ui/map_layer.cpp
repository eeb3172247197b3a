#include "ui/map_layer.h"

#include <cmath>

#include <QPainter>

namespace pathmere {
namespace {

quint64 KeyOf(const TileKey& key) {
  return (static_cast<quint64>(key.zoom) << 58) | (static_cast<quint64>(key.x) << 29) |
         static_cast<quint64>(key.y);
}

}  // namespace

void MapLayer::SetSource(std::unique_ptr<TileSource> source) {
  source_ = std::move(source);
  decoded_.clear();
  missing_.clear();
}

QImage MapLayer::Tile(const TileKey& key) const {
  const quint64 id = KeyOf(key);
  if (const QImage* cached = decoded_.object(id)) return *cached;
  if (missing_.contains(id) || key.zoom < source_->minZoom || key.zoom > source_->maxZoom) return {};
  QImage image = QImage::fromData(source_->TileBytes(key));
  if (image.isNull()) {
    // Bounded: a source with holes everywhere forgets them now and then.
    if (missing_.size() > 4 * kCachedTiles) missing_.clear();
    missing_.insert(id);
    return {};
  }
  decoded_.insert(id, new QImage(image));
  return image;
}

void MapLayer::Paint(QPainter& painter, const TrackProjection& projection) const {
  if (source_ == nullptr) return;
  const int zoom = TileZoomFor(projection, source_->tileSize, source_->minZoom, source_->maxZoom);
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  for (const TilePlacement& placement : VisibleTiles(projection, zoom)) {
    // Whole pixels, rounded alike, so neighbours meet without seams.
    const QRect target(
        QPoint(static_cast<int>(std::lround(placement.left)), static_cast<int>(std::lround(placement.top))),
        QPoint(static_cast<int>(std::lround(placement.right)) - 1,
               static_cast<int>(std::lround(placement.bottom)) - 1));
    for (int levels = 0; levels <= kCoarserLevels && levels <= zoom; ++levels) {
      const QImage image = Tile(placement.key.Parent(levels));
      if (image.isNull()) continue;
      // The part of the coarser tile that covers this one.
      const int part = 1 << levels;
      const double side = static_cast<double>(image.width()) / part;
      const QRectF source((placement.key.x % part) * side, (placement.key.y % part) * side, side,
                          static_cast<double>(image.height()) / part);
      painter.drawImage(QRectF(target), image, source);
      break;
    }
  }
  painter.restore();
}

void PaintAttribution(QPainter& painter, const QRect& area, const QString& text) {
  if (text.isEmpty()) return;
  painter.save();
  QFont font = painter.font();
  font.setPointSizeF(font.pointSizeF() * 0.8);
  painter.setFont(font);
  const QFontMetrics metrics(font);
  const int width = metrics.horizontalAdvance(text) + 8;
  const QRect band(area.right() - width + 1, area.bottom() - metrics.height() - 1, width,
                   metrics.height() + 2);
  painter.fillRect(band, QColor(255, 255, 255, 200));
  painter.setPen(QColor(40, 40, 40));
  painter.drawText(band, Qt::AlignCenter, text);
  painter.restore();
}

}  // namespace pathmere
