#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QCache>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSet>
#include <QThreadPool>
#include <QWidget>

#include "app/track_projection.h"
#include "archive/archive_index.h"
#include "ui/map/map_layer.h"

namespace pathmere {

// The map of "All days": every day's line over the map chosen as in the
// track view, coloured by year, or by device when there are several. The
// lines are drawn into 256-pixel tiles of the zoom nearest the view's scale,
// off the window's thread and with a connection of their own to the index:
// up to zoom 13 from the index's overview tiles of that zoom, beyond from
// the days' full tracks (their pieces) in the tile. Only tiles in view are
// read, so years are never all in memory, and the drawn ones are kept
// (a bounded cache), so panning and zooming only draw pictures; until a
// tile has come a coarser one stands in, scaled. Wheel zooms about the
// cursor, dragging pans; a click asks which days passed there, a rectangle
// dragged with Shift which passed inside it.
class AllDaysMap final : public QWidget {
 public:
  static constexpr double kZoomPerNotch = 1.25;
  // A click finds the days within so many pixels of it.
  static constexpr double kClickPixels = 8.0;
  static constexpr int kTilePixels = 256;
  // Lines are drawn no finer than this zoom; deeper views scale its tiles.
  static constexpr int kFinestTileZoom = 22;
  // Drawn tiles kept: many screens' worth (a tile is 256 KiB).
  static constexpr qsizetype kTileCacheKiB = 64 * 1024;
  // How many zooms coarser a stand-in tile may be.
  static constexpr int kCoarserLevels = 5;

  explicit AllDaysMap(QWidget* parent = nullptr);
  ~AllDaysMap() override;

  // The index the map reads (on the window's thread) and the folders shown.
  void SetIndex(ArchiveIndex* index, std::vector<ArchiveFolder> folders);
  // Shows these bounds whole, and again as they grow until the user zooms
  // or pans.
  void Fit(const GeoBounds& bounds);
  void FitUnlessMoved(const GeoBounds& bounds) {
    if (keepFitted_ || fitted_.empty) Fit(bounds);
  }
  // Only these years drawn; empty for all.
  void ShowOnly(std::vector<std::string> prefixes);
  // The index has changed: tiles are drawn again (the old ones stand in
  // until then).
  void Refresh();
  // Tiles in view asked for and not drawn yet.
  bool drawing() const { return !pending_.isEmpty(); }
  // The zoom whose tiles a view at `zoom` shows.
  static int TileZoomFor(double zoom);

  const TrackProjection& projection() const { return projection_; }
  MapLayer& mapLayer() { return mapLayer_; }
  // The colour of a year's lines, for the key.
  static QColor YearColour(int year);
  // The colour of the `index`th device's lines, for the key.
  static QColor DeviceColour(size_t index);
  bool byDevice() const { return folders_.size() > 1; }

  std::function<void(const ArchiveArea&)> onAsk;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // What a tile is drawn with, as it was when asked for.
  struct Drawing {
    std::filesystem::path file;
    std::vector<ArchiveFolder> folders;
    std::vector<std::string> only;
    std::map<std::string, QColor> deviceColours;
    bool byDevice = false;
  };
  struct DrawnTile {
    QImage image;
    quint64 generation = 0;
  };

  void Ask(int zoom, int64_t x, int64_t y);
  // On the worker: one tile's lines; a null image when the index fails.
  QImage DrawTile(const Drawing& drawing, int zoom, int64_t x, int64_t y);
  void Deliver(quint64 key, quint64 generation, const QImage& image);
  // Draws the drawn tile (zoom, x, y) or, until it has come, what stands in.
  void PaintTile(QPainter& painter, int zoom, int64_t x, int64_t y, const QRectF& target);
  void StopWorker();

  TrackProjection projection_;
  MapLayer mapLayer_;
  ArchiveIndex* index_ = nullptr;
  std::vector<ArchiveFolder> folders_;
  std::map<std::string, QColor> deviceColours_;
  std::vector<std::string> only_;
  QPoint pressed_;
  QPoint last_;
  bool dragging_ = false;
  bool boxing_ = false;
  // Fitted again at each resize until the user zooms or pans.
  GeoBounds fitted_;
  bool keepFitted_ = false;

  std::shared_ptr<const Drawing> drawing_;
  quint64 generation_ = 0;
  QCache<quint64, DrawnTile> tiles_{kTileCacheKiB};
  QSet<quint64> pending_;
  // The tiles in view at the last paint: the worker skips the others.
  std::mutex wantedMutex_;
  QSet<quint64> wanted_;
  // The worker's own connection, used by one job at a time.
  std::unique_ptr<ArchiveIndex> reader_;
  std::filesystem::path readerFile_;
  // Receives the worker's tiles on the window's thread.
  std::unique_ptr<QObject> context_;
  QThreadPool pool_;
};

}  // namespace pathmere
