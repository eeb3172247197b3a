#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>

#include "app/day_summary.h"
#include "app/day_track.h"
#include "app/live_position.h"
#include "app/track_projection.h"
#include "ui/map/map_layer.h"
#include "ui/track_painter.h"

namespace pathmere {

// The map of the track view: fitted to the day at first, zoomed by the
// wheel about the cursor, panned by dragging, fitted again by a double
// click. Until the user zooms or pans it stays fitted as the track grows,
// and, while it shows the receiver's day, as the position moves: the
// position is fitted with the track.
class TrackMap final : public QWidget {
 public:
  // One wheel notch zooms by this much.
  static constexpr double kZoomPerNotch = 1.25;
  // A followed position closer than this to an edge brings it back to the middle.
  static constexpr double kFollowMargin = 16.0;

  explicit TrackMap(QWidget* parent = nullptr);

  // The day to show; the map keeps a reference until the next call.
  void SetTrack(const DayTrack* track, const QString& title);
  // The track grew or the marker moved.
  void TrackChanged();
  // `onShownDay`: the position belongs to the day shown, so the fit takes it in.
  void SetPosition(const LivePosition& position, bool onShownDay = true);
  // Marked on the map as "P" signs.
  void SetStops(std::vector<DayStop> stops);
  void Fit();
  // From the keyboard: zoom about the middle by `notches` wheel notches (out
  // below 0); move the picture by a fraction of the map's size.
  void ZoomSteps(double notches);
  void PanFraction(double right, double down);

  const TrackProjection& projection() const { return projection_; }
  const LivePosition& position() const { return position_; }
  const std::vector<DayStop>& stops() const { return stops_; }
  // The tiles under the track; no source, no map.
  MapLayer& mapLayer() { return mapLayer_; }
  bool followsTrack() const { return follow_; }
  // The position is shown and lies inside the map, `margin` pixels from
  // its edges and below the facts.
  bool PositionInView(double margin) const;
  // What the tooltip says at `at`: the day's span in UTC over the facts, a
  // stop's times and length over its sign.
  QString ToolTipAt(QPoint at) const;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  const DayTrack* track_ = nullptr;
  DayTrack empty_;
  QString title_;
  LivePosition position_;
  bool fitsPosition_ = false;
  std::vector<DayStop> stops_;
  MapLayer mapLayer_;
  TrackProjection projection_;
  TrackPaintScratch scratch_;
  bool follow_ = true;
  bool dragging_ = false;
  QPoint dragFrom_;
};

}  // namespace pathmere
