#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QPoint>
#include <QRect>
#include <QWidget>

#include "app/track_projection.h"
#include "archive/archive_index.h"
#include "ui/map/map_layer.h"

namespace pathmere {

// The map of "All days": every day's line from the archive index's overview
// tiles of the zoom shown (only the tiles in view are read, so years are
// never all in memory), over the map chosen as in the track view, coloured
// by year, or by device when there are several. Wheel zooms about the cursor, dragging pans; a click asks
// which days passed there, a rectangle dragged with Shift which passed inside it.
class AllDaysMap final : public QWidget {
 public:
  static constexpr double kZoomPerNotch = 1.25;
  // A click finds the days within so many pixels of it.
  static constexpr double kClickPixels = 8.0;

  explicit AllDaysMap(QWidget* parent = nullptr);

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
};

}  // namespace pathmere
