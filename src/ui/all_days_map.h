#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
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
#include "ui/all_days_pictures.h"
#include "ui/map/map_layer.h"

namespace pathmere {

// The map of "All days": every day's line over the map chosen as in the
// track view, coloured by year, or by device when there are several. The
// lines are drawn into 256-pixel tiles of the zoom nearest the view's scale,
// off the window's thread and with a connection of their own to the index:
// up to zoom 13 from the index's overview tiles of that zoom, beyond from
// the days' full tracks (their pieces) in the tile. Only tiles in view are
// read, so years are never all in memory, and the drawn ones are kept
// (a bounded cache, and on disk beside the index: AllDaysPictures), so
// panning, zooming and the next start only draw pictures; until a tile has
// come a coarser one stands in, scaled, the coarse ones asked for first. Wheel zooms about the
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
  // How many zooms coarser the tile asked for first, where nothing stands
  // in yet: a few of them cover the view and draw in a fraction of the time.
  static constexpr int kStandInLevels = 5;
  // Up to this zoom lines are drawn without smoothing.
  static constexpr int kSharpZoom = 8;
  // Workers drawing tiles, each with its own connection to the index: one,
  // since on two cores a second took the window's frames past 16 ms.
  static constexpr int kWorkers = 1;

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
  // Whether the last paint showed something of every tile in view (the
  // tile or one standing in).
  bool showedEveryTile() const { return blank_ == 0; }
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
    // What the colours and filter come to, naming the stored pictures.
    quint64 colouring = 0;
    std::optional<AllDaysPictures> pictures;
    // The days with their bounds, read by the first job that needs them.
    mutable std::once_flag daysRead;
    mutable std::vector<ArchiveDay> days;
    mutable bool daysGood = false;
  };
  // The stored pictures are pruned once a map, by its first job.
  std::once_flag pruned_;
  struct DrawnTile {
    QImage image;
    quint64 generation = 0;
  };

  void Ask(int zoom, int64_t x, int64_t y, int priority = 0);
  // On a worker: one tile, stored or drawn; a null image when the index fails.
  QImage StoredOrDrawn(const Drawing& drawing, int zoom, int64_t x, int64_t y);
  // Its lines, from `reader`.
  QImage DrawTile(ArchiveIndex& reader, const Drawing& drawing, int zoom, int64_t x, int64_t y);
  std::unique_ptr<ArchiveIndex> TakeReader(const std::filesystem::path& file);
  void GiveBack(std::unique_ptr<ArchiveIndex> reader);
  void Deliver(quint64 key, quint64 generation, const QImage& image);
  // Draws the drawn tile (zoom, x, y) or, until it has come, what stands in;
  // false when there is neither.
  bool PaintTile(QPainter& painter, int zoom, int64_t x, int64_t y, const QRectF& target);
  // A coarser tile scaled up, or finer ones scaled down; false when none is
  // drawn.
  bool PaintStandIn(QPainter& painter, int zoom, int64_t x, int64_t y, const QRectF& target);
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
  int blank_ = 0;
  // The workers' own connections, each used by one job at a time.
  std::mutex readersMutex_;
  std::vector<std::unique_ptr<ArchiveIndex>> readers_;
  // Receives the worker's tiles on the window's thread.
  std::unique_ptr<QObject> context_;
  QThreadPool pool_;
};

}  // namespace pathmere
