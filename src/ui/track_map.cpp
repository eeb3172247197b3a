#include "ui/track_map.h"

#include <cmath>

#include <QMouseEvent>
#include <QPainter>
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
}

void TrackMap::SetTrack(const DayTrack* track, const QString& title) {
  track_ = track;
  title_ = title;
  Fit();
}

void TrackMap::TrackChanged() {
  if (follow_) {
    GeoBounds bounds = track_ != nullptr ? track_->bounds() : GeoBounds();
    projection_.Fit(bounds, FactsBandHeight(font()));
  }
  update();
}

void TrackMap::SetPosition(const LivePosition& position) {
  const bool moved = position.state != position_.state || position.hasPosition != position_.hasPosition ||
                     position.latitude != position_.latitude || position.longitude != position_.longitude;
  position_ = position;
  if (moved) update();
}

void TrackMap::SetStops(std::vector<DayStop> stops) {
  stops_ = std::move(stops);
  update();
}

void TrackMap::Fit() {
  follow_ = true;
  TrackChanged();
}

void TrackMap::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintTrackMap(painter, rect(), track_ != nullptr ? *track_ : empty_, projection_, position_, title_,
                scratch_, [this](QPainter& under) { mapLayer_.Paint(under, projection_); });
  PaintStopMarks(painter, projection_, stops_);
  if (mapLayer_.source() != nullptr) PaintAttribution(painter, rect(), mapLayer_.source()->attribution);
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
