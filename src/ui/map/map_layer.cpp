#include "ui/map/map_layer.h"

#include <algorithm>
#include <cmath>

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

namespace pathmere {
namespace {

// Zoom, column and row, and whether it is a server's "@2x" picture.
quint64 KeyOf(const TileKey& key, bool highDensity) {
  return (static_cast<quint64>(highDensity) << 63) | (static_cast<quint64>(key.zoom) << 58) |
         (static_cast<quint64>(key.x) << 29) | static_cast<quint64>(key.y);
}

qsizetype KiB(const QImage& image) { return image.sizeInBytes() / 1024 + 1; }

// A tile is at most this many pixels a side; a larger picture is no tile
// (and would not fit the memory cache).
constexpr int kMostTileSide = 2048;

QImage DecodeTile(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  if (size.width() > kMostTileSide || size.height() > kMostTileSide) return {};
  QImage image = reader.read();
  if (image.width() > kMostTileSide || image.height() > kMostTileSide) return {};
  // Palette PNGs draw slowly; 32 bits draw as a copy.
  if (!image.isNull()) {
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32);
  }
  return image;
}

}  // namespace

MapLayer::MapLayer() : context_(std::make_unique<QObject>()) {
  // Two cores are common on the boards the logger runs on; the window keeps one.
  pool_.setMaxThreadCount(2);
}

MapLayer::~MapLayer() {
  pool_.clear();
  pool_.waitForDone();
  fetcher_.reset();
  // Results still posted to the context go with it.
  context_.reset();
}

void MapLayer::SetSource(std::unique_ptr<TileSource> source) {
  // No worker may still read the old source.
  pool_.clear();
  pool_.waitForDone();
  fetcher_.reset();
  ++generation_;
  source_ = std::move(source);
  decoded_.clear();
  scaled_.clear();
  missing_.clear();
  failed_.clear();
  pending_.clear();
}

TileFetcher& MapLayer::fetcher() {
  if (fetcher_ == nullptr) {
    fetcher_ = std::make_unique<TileFetcher>(TileCacheFolder());
    fetcher_->onTile = [this](quint64 id, QByteArray bytes) {
      if (bytes.isEmpty()) {
        Fail(id);
        return;
      }
      Decode(id, std::move(bytes), true);
    };
  }
  return *fetcher_;
}

void MapLayer::Fail(quint64 id) {
  // Bounded: after a long time without network, the oldest are asked again.
  if (failed_.size() > 4096) failed_.clear();
  failed_.insert(id, clock() + kRetryAfter);
}

bool MapLayer::loading() const { return !pending_.isEmpty() || (fetcher_ != nullptr && fetcher_->busy()); }

void MapLayer::Read(const TileKey& key, quint64 id) {
  pending_.insert(id);
  const quint64 generation = generation_;
  TileSource* source = source_.get();
  pool_.start([this, source, key, id, generation] {
    QByteArray bytes;
    {
      const std::lock_guard lock(sourceMutex_);
      bytes = source->TileBytes(key);
    }
    const QImage image = DecodeTile(bytes);
    QMetaObject::invokeMethod(
        context_.get(), [this, generation, id, image] { Deliver(generation, id, image, false); },
        Qt::QueuedConnection);
  });
}

void MapLayer::Decode(quint64 id, QByteArray bytes, bool online) {
  pending_.insert(id);
  const quint64 generation = generation_;
  pool_.start([this, bytes = std::move(bytes), id, generation, online] {
    const QImage image = DecodeTile(bytes);
    QMetaObject::invokeMethod(
        context_.get(), [this, generation, id, image, online] { Deliver(generation, id, image, online); },
        Qt::QueuedConnection);
  });
}

void MapLayer::Deliver(quint64 generation, quint64 id, const QImage& image, bool online) {
  if (generation != generation_) return;
  pending_.remove(id);
  if (image.isNull()) {
    if (online) {
      Fail(id);
    } else {
      // Bounded: a map with holes everywhere forgets them now and then.
      if (missing_.size() > 4096) missing_.clear();
      missing_.insert(id);
    }
  } else {
    decoded_.insert(id, new QImage(image), KiB(image));
  }
  if (onTileReady) onTileReady();
}

QImage MapLayer::Scaled(quint64 id, const TileKey& key, int levels, const QImage& image, QSize size,
                        double ratio) {
  const ScaledKey scaledId{id, (static_cast<quint64>(levels) << 32) |
                                   (static_cast<quint64>(size.width()) << 16) |
                                   static_cast<quint64>(size.height())};
  if (const QImage* cached = scaled_.object(scaledId)) return *cached;
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
  scaled_.insert(scaledId, new QImage(scaled), KiB(scaled));
  return scaled;
}

void MapLayer::Paint(QPainter& painter, const TrackProjection& projection) {
  if (source_ == nullptr) return;
  // On a high-density screen a tile pixel is that many screen pixels fewer,
  // unless the server has tiles of twice the pixels.
  const double ratio =
      painter.device() != nullptr ? std::max(1.0, painter.device()->devicePixelRatioF()) : 1.0;
  const bool highDensity = source_->offersHighDensity && ratio >= 1.5;
  const int tileSize =
      std::max(1, static_cast<int>(std::lround(source_->tileSize * (highDensity ? 2 : 1) / ratio)));
  const int zoom = TileZoomFor(projection, tileSize, source_->minZoom, source_->maxZoom);
  const bool online = source_->TileUrl({}, false).isValid();
  const Clock::time_point now = clock();
  std::vector<std::pair<double, TileFetcher::Wanted>> wanted;
  painter.save();
  for (const TilePlacement& placement : VisibleTiles(projection, zoom)) {
    // Whole pixels, rounded alike, so neighbours meet without seams.
    const QRect target(
        QPoint(static_cast<int>(std::lround(placement.left)), static_cast<int>(std::lround(placement.top))),
        QPoint(static_cast<int>(std::lround(placement.right)) - 1,
               static_cast<int>(std::lround(placement.bottom)) - 1));
    // Only the finest tile not known to be missing is asked for; coarser
    // ones stand in from memory meanwhile (`ask` false: one is on its way).
    bool ask = true;
    for (int levels = 0; levels <= kCoarserLevels && levels <= zoom; ++levels) {
      const TileKey key = placement.key.Parent(levels);
      if (key.zoom < source_->minZoom) break;
      const quint64 id = KeyOf(key, highDensity);
      if (const QImage* image = decoded_.object(id)) {
        // Scaled once to the size it is drawn at; panning only copies it.
        const QSize device(std::max(1, static_cast<int>(std::lround(target.width() * ratio))),
                           std::max(1, static_cast<int>(std::lround(target.height() * ratio))));
        if (!ask) {
          // A stand-in while the tile comes: its part stretched roughly,
          // as that costs the window nothing.
          const int part = 1 << levels;
          const QRectF piece((placement.key.x % part) * image->width() / double(part),
                             (placement.key.y % part) * image->height() / double(part),
                             image->width() / double(part), image->height() / double(part));
          painter.drawImage(QRectF(target), *image, piece);
        } else if (device.width() > 4 * image->width() * (1 << levels) ||
                   device.height() > 4 * image->height() * (1 << levels)) {
          painter.drawImage(QRectF(target), *image);  // absurd sizes are not cached
        } else {
          painter.drawImage(target.topLeft(), Scaled(KeyOf(placement.key, highDensity), placement.key, levels,
                                                     *image, device, ratio));
        }
        break;
      }
      if (!ask || missing_.contains(id)) continue;
      if (!source_->Holds(key)) {
        missing_.insert(id);
        continue;
      }
      const auto failed = failed_.find(id);
      if (failed != failed_.end()) {
        if (now < failed.value()) break;  // drawn empty for now
        failed_.erase(failed);
      }
      ask = false;
      if (pending_.contains(id)) continue;
      if (online) {
        const double dx = (placement.left + placement.right - projection.width()) / 2.0;
        const double dy = (placement.top + placement.bottom - projection.height()) / 2.0;
        wanted.push_back({dx * dx + dy * dy, {id, source_->TileUrl(key, highDensity)}});
      } else {
        Read(key, id);
      }
    }
  }
  painter.restore();
  if (online) {
    // The middle of the view first.
    std::stable_sort(wanted.begin(), wanted.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TileFetcher::Wanted> tiles;
    tiles.reserve(wanted.size());
    for (auto& [distance, tile] : wanted) tiles.push_back(std::move(tile));
    fetcher().Want(tiles);
  }
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
