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
  scaled_.clear();
  missing_.clear();
}

QImage MapLayer::Tile(const TileKey& key) const {
  const quint64 id = KeyOf(key);
  if (const QImage* cached = decoded_.object(id)) return *cached;
  if (missing_.contains(id) || key.zoom < source_->minZoom || key.zoom > source_->maxZoom) return {};
  QImage image = QImage::fromData(source_->TileBytes(key));
  // Palette PNGs draw slowly; 32 bits draw as a copy.
  if (!image.isNull()) {
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32);
  }
  if (image.isNull()) {
    // Bounded: a source with holes everywhere forgets them now and then.
    if (missing_.size() > 4 * kCachedTiles) missing_.clear();
    missing_.insert(id);
    return {};
  }
  decoded_.insert(id, new QImage(image));
  return image;
}

QImage MapLayer::Scaled(const TileKey& key, int levels, const QImage& image, QSize size, double ratio) const {
  const ScaledKey id{KeyOf(key), (static_cast<quint64>(levels) << 32) |
                                     (static_cast<quint64>(size.width()) << 16) |
                                     static_cast<quint64>(size.height())};
  if (const QImage* cached = scaled_.object(id)) return *cached;
  // The part of the coarser tile that covers this one.
  const int part = 1 << levels;
  const int side = image.width() / part;
  const QImage piece = levels == 0
                           ? image
                           : image.copy((key.x % part) * side, (key.y % part) * (image.height() / part), side,
                                        image.height() / part);
  QImage scaled =
      piece.size() == size ? piece : piece.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  scaled.setDevicePixelRatio(ratio);
  scaled_.insert(id, new QImage(scaled));
  return scaled;
}

void MapLayer::Paint(QPainter& painter, const TrackProjection& projection) const {
  if (source_ == nullptr) return;
  // On a high-density screen a tile pixel is that many screen pixels fewer.
  const double ratio =
      painter.device() != nullptr ? std::max(1.0, painter.device()->devicePixelRatioF()) : 1.0;
  const int tileSize = std::max(1, static_cast<int>(std::lround(source_->tileSize / ratio)));
  const int zoom = TileZoomFor(projection, tileSize, source_->minZoom, source_->maxZoom);
  painter.save();
  for (const TilePlacement& placement : VisibleTiles(projection, zoom)) {
    // Whole pixels, rounded alike, so neighbours meet without seams.
    const QRect target(
        QPoint(static_cast<int>(std::lround(placement.left)), static_cast<int>(std::lround(placement.top))),
        QPoint(static_cast<int>(std::lround(placement.right)) - 1,
               static_cast<int>(std::lround(placement.bottom)) - 1));
    for (int levels = 0; levels <= kCoarserLevels && levels <= zoom; ++levels) {
      const QImage image = Tile(placement.key.Parent(levels));
      if (image.isNull()) continue;
      // Scaled once to the size it is drawn at; panning only copies it.
      const QSize device(std::max(1, static_cast<int>(std::lround(target.width() * ratio))),
                         std::max(1, static_cast<int>(std::lround(target.height() * ratio))));
      if (device.width() > 4 * source_->tileSize * (1 << levels) ||
          device.height() > 4 * source_->tileSize * (1 << levels)) {
        painter.drawImage(QRectF(target), image);  // absurd sizes are not cached
        break;
      }
      painter.drawImage(target.topLeft(), Scaled(placement.key, levels, image, device, ratio));
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
