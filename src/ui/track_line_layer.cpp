#include "ui/track_line_layer.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPen>
#include <QPoint>

namespace pathmere {
namespace {

// Points of the track stroked at a time.
constexpr size_t kPointsPerStroke = 32;

void StrokeLines(QPainter& painter, const PixelLines& lines, const QColor& colour) {
  // Round joins and caps would cost the painter twice as much as the rest
  // of the picture together.
  painter.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
  for (size_t line = 0; line < lines.LineCount(); ++line) {
    const size_t begin = lines.starts[line];
    const size_t end = lines.LineEnd(line);
    if (end - begin == 1) {
      painter.drawPoint(lines.points[begin].x, lines.points[begin].y);
      continue;
    }
    // In short runs: the painter strokes a long self-crossing line as one
    // shape, which costs far more than the same line in pieces. The caps
    // cover the joins between the runs.
    for (size_t from = begin; from + 1 < end; from += kPointsPerStroke - 1) {
      const size_t to = std::min(end, from + kPointsPerStroke);
      QPoint run[kPointsPerStroke];
      for (size_t i = from; i < to; ++i) run[i - from] = QPoint(lines.points[i].x, lines.points[i].y);
      painter.drawPolyline(run, static_cast<int>(to - from));
    }
  }
}

}  // namespace

bool TrackLineLayer::Serves(const QRect& area, const DayTrack& track, const TrackProjection& projection,
                            double ratio, const QColor& colour, double* x, double* y) const {
  if (image_.isNull() || track_ != &track || points_ != track.points().size() ||
      firstDayNumber_ != track.firstDayNumber() || lastDayNumber_ != track.lastDayNumber() ||
      metresPerPixel_ != projection.metresPerPixel() || viewSize_ != area.size() ||
      image_.devicePixelRatio() != ratio || colour_ != colour) {
    return false;
  }
  projection.ToPixel(cornerLatitude_, cornerLongitude_, x, y);
  // The corner was at -margin; a pan may move it up to a margin either way.
  return std::fabs(*x + kMargin) <= kMargin && std::fabs(*y + kMargin) <= kMargin;
}

void TrackLineLayer::Stroke(const QRect& area, const DayTrack& track, const TrackProjection& projection,
                            double ratio, const QColor& colour) {
  TrackProjection wide = projection;
  wide.SetViewport(area.width() + 2 * kMargin, area.height() + 2 * kMargin);
  DecimateTrack(track.points(), wide, &lines_);
  const QSize pixels = QSize(wide.width(), wide.height()) * ratio;
  if (image_.size() != pixels) image_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
  image_.setDevicePixelRatio(ratio);
  image_.fill(Qt::transparent);
  {
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing, true);
    StrokeLines(painter, lines_, colour);
  }
  track_ = &track;
  points_ = track.points().size();
  firstDayNumber_ = track.firstDayNumber();
  lastDayNumber_ = track.lastDayNumber();
  metresPerPixel_ = projection.metresPerPixel();
  viewSize_ = area.size();
  colour_ = colour;
  projection.FromPixel(-kMargin, -kMargin, &cornerLatitude_, &cornerLongitude_);
}

void TrackLineLayer::Paint(QPainter& painter, const QRect& area, const DayTrack& track,
                           const TrackProjection& projection, const QColor& colour) {
  const double ratio = painter.device()->devicePixelRatioF();
  double x = 0.0;
  double y = 0.0;
  if (!Serves(area, track, projection, ratio, colour, &x, &y)) {
    Stroke(area, track, projection, ratio, colour);
    x = -kMargin;
    y = -kMargin;
  }
  painter.drawImage(QPointF(area.left() + x, area.top() + y), image_);
}

}  // namespace pathmere
