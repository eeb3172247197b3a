#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QThreadPool>

#include "app/track_projection.h"
#include "ui/map/tile_fetcher.h"
#include "ui/map/tile_source.h"

class QPainter;

namespace pathmere {

// The map under the track: the tiles of the source at the zoom nearest the
// view's scale, each where the projection puts its corners, so tiles and
// track agree to the pixel. Tiles are read (or fetched) and decoded off the
// window's thread; until one has come the next coarser tile in memory
// stands in, scaled, so panning shows no blank squares. A tile a map file
// lacks is drawn from the next coarser one it has; a tile a server failed to
// give is drawn empty and asked for again a minute later at the soonest.
class MapLayer {
 public:
  using Clock = std::chrono::steady_clock;
  // Decoded tiles kept: several screens' worth (a 256-pixel tile is 256 KiB).
  static constexpr qsizetype kDecodedKiB = 96 * 1024;
  static constexpr qsizetype kScaledKiB = 48 * 1024;
  // How many zooms coarser a stand-in tile may be.
  static constexpr int kCoarserLevels = 4;
  static constexpr std::chrono::seconds kRetryAfter{60};

  MapLayer();
  ~MapLayer();
  MapLayer(const MapLayer&) = delete;
  MapLayer& operator=(const MapLayer&) = delete;

  void SetSource(std::unique_ptr<TileSource> source);
  TileSource* source() const { return source_.get(); }

  // Draws the tiles at hand and asks for the others.
  void Paint(QPainter& painter, const TrackProjection& projection);

  // On the window's thread, whenever a tile has come: the view repaints.
  std::function<void()> onTileReady;
  // When a failed tile may be asked for again; tests set it.
  std::function<Clock::time_point()> clock = [] { return Clock::now(); };
  // Tiles asked for and not yet drawn.
  bool loading() const;
  // The online source's fetcher, made when first needed; a new source gets a
  // new one.
  TileFetcher& fetcher();

 private:
  using ScaledKey = std::pair<quint64, quint64>;

  void Read(const TileKey& key, quint64 id);
  void Decode(quint64 id, QByteArray bytes, bool online);
  void Fail(quint64 id);
  void Deliver(quint64 generation, quint64 id, const QImage& image, bool online);
  // `key`'s picture from `image` (its tile, or the one `levels` zooms
  // coarser) at `size` device pixels.
  QImage Scaled(quint64 id, const TileKey& key, int levels, const QImage& image, QSize size, double ratio);

  std::unique_ptr<TileSource> source_;
  std::mutex sourceMutex_;
  // Receives the workers' results on the window's thread.
  std::unique_ptr<QObject> context_;
  QThreadPool pool_;
  std::unique_ptr<TileFetcher> fetcher_;
  quint64 generation_ = 0;
  QCache<quint64, QImage> decoded_{kDecodedKiB};
  QCache<ScaledKey, QImage> scaled_{kScaledKiB};
  QSet<quint64> missing_;                     // the map file lacks it
  QHash<quint64, Clock::time_point> failed_;  // the server failed: empty until then
  QSet<quint64> pending_;                     // being read or decoded
};

// Draws `text` bottom right of `area` on a pale band, as map attributions are.
void PaintAttribution(QPainter& painter, const QRect& area, const QString& text);

}  // namespace pathmere
