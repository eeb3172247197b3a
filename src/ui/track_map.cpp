#include "ui/track_map.h"

#include <cmath>

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

#include "ui/stop_marks.h"
#include "ui/track_painter.h"

namespace pathmere {

TrackMap::TrackMap(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("trackMap"));
  setMinimumSize(240, 180);
  // The map paints every pixel itself.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::OpenHandCursor);
  projection_.SetViewport(width(), height());
  // Tiles come in the background.
  mapLayer_.onTileReady = [this] { update(); };
}

void TrackMap::SetTrack(const DayTrack* track, const QString& title) {
  track_ = track;
  title_ = title;
  Fit();
}

void TrackMap::TrackChanged() {
  if (follow_) {
    GeoBounds bounds = track_ != nullptr ? track_->bounds() : GeoBounds();
    // The position runs a fix or two ahead of the points the track holds.
    if (fitsPosition_ && position_.state != PositionState::kIdle && position_.hasPosition) {
      bounds.Include(position_.latitude, position_.longitude);
    }
    projection_.Fit(bounds, FactsBandHeight(font()));
  }
  update();
}

void TrackMap::SetPosition(const LivePosition& position, bool onShownDay) {
  const bool moved = position.state != position_.state || position.hasPosition != position_.hasPosition ||
                     position.latitude != position_.latitude || position.longitude != position_.longitude ||
                     onShownDay != fitsPosition_;
  const bool wasInView = fitsPosition_ && PositionInView(0.0);
  position_ = position;
  fitsPosition_ = onShownDay;
  if (!moved) return;
  if (follow_) {
    TrackChanged();
    return;
  }
  // Zoomed in on a moving position, the map goes along with it; one the
  // user has panned away from stays where it is.
  if (wasInView && !PositionInView(kFollowMargin)) {
    double x = 0.0;
    double y = 0.0;
    projection_.ToPixel(position_.latitude, position_.longitude, &x, &y);
    projection_.PanBy(width() / 2.0 - x, height() / 2.0 - y);
  }
  update();
}

bool TrackMap::PositionInView(double margin) const {
  if (position_.state == PositionState::kIdle || !position_.hasPosition) return false;
  double x = 0.0;
  double y = 0.0;
  projection_.ToPixel(position_.latitude, position_.longitude, &x, &y);
  const double top = FactsBandHeight(font());
  return x >= margin && x <= width() - margin && y >= top + margin && y <= height() - margin;
}

void TrackMap::SetStops(std::vector<DayStop> stops) {
  stops_ = std::move(stops);
  update();
}

void TrackMap::Fit() {
  follow_ = true;
  TrackChanged();
}

void TrackMap::ZoomSteps(double notches) {
  follow_ = false;
  projection_.ZoomAbout(width() / 2.0, height() / 2.0, std::pow(kZoomPerNotch, notches));
  update();
}

void TrackMap::PanFraction(double right, double down) {
  follow_ = false;
  projection_.PanBy(right * width(), down * height());
  update();
}

void TrackMap::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  scratch_.keepClear = StopSignPlaces(painter.font(), projection_, stops_);
  // With nothing to show the map is nowhere: no tiles are read or asked for.
  const bool somewhere = (track_ != nullptr && !track_->bounds().empty) ||
                         (position_.state != PositionState::kIdle && position_.hasPosition);
  PaintTrackMap(
      painter, rect(), track_ != nullptr ? *track_ : empty_, projection_, position_, title_, scratch_,
      [this, somewhere](QPainter& under) {
        if (somewhere) mapLayer_.Paint(under, projection_);
      },
      palette());
  PaintStopMarks(painter, projection_, stops_);
  if (mapLayer_.source() != nullptr) PaintAttribution(painter, rect(), mapLayer_.source()->attribution);
}

QString TrackMap::ToolTipAt(QPoint at) const {
  const DayTrack& track = track_ != nullptr ? *track_ : empty_;
  // The facts tell local times; here they are in UTC, as the files keep them.
  if (at.y() < FactsBandHeight(font()) && !track.points().empty())
    return UtcTimeSpanText(track.firstDayNumber(), track.lastDayNumber());
  const int reach = fontMetrics().height() / 2 + 1;
  for (const DayStop& stop : stops_) {
    double x = 0.0;
    double y = 0.0;
    projection_.ToPixel(stop.latitude, stop.longitude, &x, &y);
    if (std::fabs(x - at.x()) <= reach && std::fabs(y - at.y()) <= reach) return StopText(stop);
  }
  return QString();
}

bool TrackMap::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  const auto* help = static_cast<QHelpEvent*>(event);
  const QString text = ToolTipAt(help->pos());
  if (text.isEmpty()) {
    QToolTip::hideText();
  } else {
    QToolTip::showText(help->globalPos(), text, this);
  }
  return true;
}

void TrackMap::resizeEvent(QResizeEvent*) {
  projection_.SetViewport(width(), height());
  if (follow_) TrackChanged();
}

void TrackMap::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches == 0.0) return;
  follow_ = false;
  const QPointF at = event->position();
  projection_.ZoomAbout(at.x(), at.y(), std::pow(kZoomPerNotch, notches));
  update();
  event->accept();
}

void TrackMap::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = true;
  dragFrom_ = event->position().toPoint();
  setCursor(Qt::ClosedHandCursor);
}

void TrackMap::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  const QPoint at = event->position().toPoint();
  const QPoint moved = at - dragFrom_;
  if (moved.isNull()) return;
  follow_ = false;
  projection_.PanBy(moved.x(), moved.y());
  dragFrom_ = at;
  update();
}

void TrackMap::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = false;
  setCursor(Qt::OpenHandCursor);
}

void TrackMap::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Fit();
}

}  // namespace pathmere
