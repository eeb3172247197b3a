#include "ui/track_painter.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

#include "ui/view_clock.h"
#include "ui/view_colours.h"

namespace pathmere {
namespace {

// Route numbers closer than this to the last one written would overlap it.
constexpr int kRouteLabelSpacing = 28;
// A route dot is drawn only in a cell of this many pixels that has none yet.
constexpr int kDotCell = 5;
constexpr int kDotRadius = 4;

// The longest 1, 2 or 5 times a power of ten metres that fits `maxMetres`.
double RoundScaleLength(double maxMetres) {
  const double power = std::pow(10.0, std::floor(std::log10(maxMetres)));
  for (double step : {5.0, 2.0, 1.0}) {
    if (step * power <= maxMetres) return step * power;
  }
  return power;
}

// Where the scale bar goes, its label included.
QRect ScaleBarRect(const QRect& area, double metresPerPixel, int* length, double* metres) {
  *metres = RoundScaleLength(area.width() / 5.0 * metresPerPixel);
  *length = std::max(1, static_cast<int>(std::lround(*metres / metresPerPixel)));
  return QRect(area.left() + 10, area.bottom() - 38, std::max(*length, 80) + 4, 32);
}

void PaintScaleBar(QPainter& painter, const QRect& area, double metresPerPixel, const QColor& colour) {
  double metres = 0.0;
  int length = 0;
  ScaleBarRect(area, metresPerPixel, &length, &metres);
  const int x = area.left() + 12;
  const int y = area.bottom() - 14;
  painter.setPen(QPen(colour, 2));
  painter.drawLine(x, y, x + length, y);
  painter.drawLine(x, y - 5, x, y + 1);
  painter.drawLine(x + length, y - 5, x + length, y + 1);
  painter.drawText(QRect(x, y - 22, std::max(length, 80), 18), Qt::AlignLeft | Qt::AlignBottom,
                   DistanceText(metres));
}

// The north arrow's place: below the facts, at the right.
QRect NorthArrowRect(const QRect& area, int factsHeight) {
  return QRect(area.right() - 34, area.top() + factsHeight + 4, 26, 46);
}

void PaintNorthArrow(QPainter& painter, const QRect& area, int factsHeight, const QColor& colour) {
  const QRect place = NorthArrowRect(area, factsHeight);
  const int cx = place.center().x() + 1;
  const int top = place.top() + 2;
  QPolygon arrow;
  arrow << QPoint(cx, top) << QPoint(cx + 8, top + 24) << QPoint(cx, top + 18) << QPoint(cx - 8, top + 24);
  painter.setPen(QPen(colour, 1));
  painter.setBrush(colour);
  painter.drawPolygon(arrow);
  painter.setBrush(Qt::NoBrush);
  painter.drawText(QRect(cx - 10, top + 24, 20, 18), Qt::AlignCenter, QStringLiteral("N"));
}

// A label goes only where it covers nothing already taken.
bool TakeLabelPlace(std::vector<QRect>& taken, const QRect& place) {
  for (const QRect& other : taken) {
    if (other.intersects(place)) return false;
  }
  taken.push_back(place);
  return true;
}

QPoint Pixel(const TrackProjection& projection, const QRect& area, double latitude, double longitude) {
  double x = 0.0;
  double y = 0.0;
  projection.ToPixel(latitude, longitude, &x, &y);
  // Far-off places only need to be off the picture.
  return {area.left() + static_cast<int>(std::clamp(x, -1.0e6, 1.0e6)),
          area.top() + static_cast<int>(std::clamp(y, -1.0e6, 1.0e6))};
}

// The route dot at the device's pixel ratio, centred in its picture.
const QImage& RouteDot(TrackPaintScratch& scratch, qreal ratio) {
  constexpr int kSide = 2 * kDotRadius + 3;
  if (!scratch.routeDot.isNull() && scratch.routeDot.devicePixelRatio() == ratio) return scratch.routeDot;
  const int pixels = static_cast<int>(std::ceil(kSide * ratio));
  scratch.routeDot = QImage(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  scratch.routeDot.setDevicePixelRatio(ratio);
  scratch.routeDot.fill(Qt::transparent);
  QPainter painter(&scratch.routeDot);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(Qt::white, 1));
  painter.setBrush(kRouteColour);
  painter.drawEllipse(QPoint(kDotRadius + 1, kDotRadius + 1), kDotRadius, kDotRadius);
  return scratch.routeDot;
}

}  // namespace

QColor MarkerColour(PositionState state) {
  switch (state) {
    case PositionState::kFix:
      return QColor(0, 170, 0);
    case PositionState::kDropped:
      return QColor(245, 150, 0);
    case PositionState::kNoFix:
      return QColor(220, 0, 0);
    case PositionState::kNoData:
    case PositionState::kIdle:
      break;
  }
  return QColor(128, 128, 128);
}

int FactsBandHeight(const QFont& font) { return QFontMetrics(font).height() + 8; }

QString DistanceText(double metres) {
  if (metres < 1000.0) return QStringLiteral("%1 m").arg(std::lround(metres));
  return QStringLiteral("%1 km").arg(metres / 1000.0, 0, 'f', metres < 100000.0 ? 1 : 0);
}

QString TimeSpanText(double firstDayNumber, double lastDayNumber) {
  const long minutes = std::lround(std::max(lastDayNumber - firstDayNumber, 0.0) * 1440.0);
  const QString firstZone = ZoneText(firstDayNumber);
  const QString lastZone = ZoneText(lastDayNumber);
  // A day that changes its clock names the zone at both ends.
  const QString first = ClockText(LocalDayNumber(firstDayNumber)) +
                        (firstZone == lastZone ? QString() : QLatin1Char(' ') + firstZone);
  return QStringLiteral("%1-%2 %3 (%4 h %5 min)")
      .arg(first, ClockText(LocalDayNumber(lastDayNumber)), lastZone)
      .arg(minutes / 60)
      .arg(minutes % 60);
}

QString UtcTimeSpanText(double firstDayNumber, double lastDayNumber) {
  return ClockText(firstDayNumber) + QLatin1Char('-') + UtcClockText(lastDayNumber);
}

void PaintTrackMap(QPainter& painter, const QRect& area, const DayTrack& track,
                   const TrackProjection& projection, const LivePosition& position, const QString& title,
                   TrackPaintScratch& scratch, const std::function<void(QPainter&)>& under,
                   const QPalette& palette) {
  const ViewColours colours = ViewColoursFor(palette);
  painter.save();
  painter.setClipRect(area);
  painter.fillRect(area, colours.mapBackground);
  if (under) under(painter);
  painter.setRenderHint(QPainter::Antialiasing, true);

  scratch.trackLine.Paint(painter, area, track, projection, colours.track);

  // The facts, the scale bar, the north arrow and the position come first:
  // labels keep off them and off each other.
  const int factsHeight = FactsBandHeight(painter.font());
  const bool showsPosition = position.state != PositionState::kIdle && position.hasPosition;
  const QPoint positionAt =
      showsPosition ? Pixel(projection, area, position.latitude, position.longitude) : QPoint();
  std::vector<QRect>& taken = scratch.labels;
  taken.clear();
  taken.push_back(QRect(area.left(), area.top(), area.width(), factsHeight));
  double scaleMetres = 0.0;
  int scaleLength = 0;
  taken.push_back(ScaleBarRect(area, projection.metresPerPixel(), &scaleLength, &scaleMetres));
  taken.push_back(NorthArrowRect(area, factsHeight));
  if (showsPosition) taken.push_back(QRect(positionAt - QPoint(9, 9), QSize(19, 19)));
  taken.insert(taken.end(), scratch.keepClear.begin(), scratch.keepClear.end());
  const QFontMetrics metrics(painter.font());

  // Waypoints' flags and names take their places before the route numbers,
  // which are many, and are drawn after the route dots; a name goes left of
  // the pole when the right has no room.
  std::vector<QRect>& names = scratch.waypointNames;
  names.assign(track.waypoints().size(), QRect());
  for (const DayWaypoint& waypoint : track.waypoints()) {
    const QPoint at = Pixel(projection, area, waypoint.latitude, waypoint.longitude);
    if (area.adjusted(-200, -20, 20, 20).contains(at))
      taken.push_back(QRect(at + QPoint(-1, -17), QSize(12, 18)));
  }
  for (size_t i = 0; i < track.waypoints().size(); ++i) {
    const DayWaypoint& waypoint = track.waypoints()[i];
    const QPoint at = Pixel(projection, area, waypoint.latitude, waypoint.longitude);
    if (!area.adjusted(-200, -20, 20, 20).contains(at)) continue;
    const QSize size(metrics.horizontalAdvance(QString::fromStdString(waypoint.name)), metrics.height());
    const QRect right(at + QPoint(11, -8 - metrics.ascent()), size);
    const QRect left(at + QPoint(-3 - size.width(), -8 - metrics.ascent()), size);
    if (TakeLabelPlace(taken, right)) {
      names[i] = right;
    } else if (TakeLabelPlace(taken, left)) {
      names[i] = left;
    }
  }

  // Route points: a dot each, then a number where there is room for it,
  // off the dots (drawn first, so none covers a number) and other labels.
  const QImage& dot = RouteDot(scratch, painter.device()->devicePixelRatioF());
  const int cellColumns = area.width() / kDotCell + 1;
  const int cellRows = area.height() / kDotCell + 1;
  const QPoint noDot(TrackPaintScratch::kNoDot, TrackPaintScratch::kNoDot);
  scratch.dotCells.assign(static_cast<size_t>(cellColumns) * static_cast<size_t>(cellRows), noDot);
  scratch.dotPoints.clear();
  const auto cellOf = [&](int column, int row) -> QPoint& {
    return scratch
        .dotCells[static_cast<size_t>(row) * static_cast<size_t>(cellColumns) + static_cast<size_t>(column)];
  };
  for (size_t i = 0; i < track.routePoints().size(); ++i) {
    const DayRoutePoint& point = track.routePoints()[i];
    const QPoint at = Pixel(projection, area, point.latitude, point.longitude);
    if (!area.contains(at)) continue;
    QPoint& cell = cellOf((at.x() - area.left()) / kDotCell, (at.y() - area.top()) / kDotCell);
    if (cell != noDot) continue;
    cell = at;
    scratch.dotPoints.push_back(i);
    painter.drawImage(at - QPoint(kDotRadius + 1, kDotRadius + 1), dot);
  }
  const auto coversDot = [&](const QRect& place) {
    const QRect near = place.adjusted(-kDotRadius, -kDotRadius, kDotRadius, kDotRadius).intersected(area);
    if (near.isEmpty()) return false;
    for (int row = (near.top() - area.top()) / kDotCell; row <= (near.bottom() - area.top()) / kDotCell;
         ++row) {
      for (int column = (near.left() - area.left()) / kDotCell;
           column <= (near.right() - area.left()) / kDotCell; ++column) {
        const QPoint at = cellOf(column, row);
        if (at != noDot && near.contains(at)) return true;
      }
    }
    return false;
  };
  painter.setPen(kRouteColour);
  QPoint lastLabel(-100000, -100000);
  for (size_t i : scratch.dotPoints) {
    const DayRoutePoint& point = track.routePoints()[i];
    const QPoint at = Pixel(projection, area, point.latitude, point.longitude);
    if ((at - lastLabel).manhattanLength() < kRouteLabelSpacing) continue;
    const QString number = QString::number(point.number);
    const QSize size(metrics.horizontalAdvance(number), metrics.height());
    // Above right of the dot, else below right, above left, below left.
    const QPoint corners[] = {{6, -6 - metrics.ascent()},
                              {6, 6},
                              {-6 - size.width(), -6 - metrics.ascent()},
                              {-6 - size.width(), 6}};
    for (const QPoint& corner : corners) {
      const QRect place(at + corner, size);
      if (coversDot(place) || !TakeLabelPlace(taken, place)) continue;
      painter.drawText(place.left(), place.top() + metrics.ascent(), number);
      lastLabel = at;
      break;
    }
  }
  for (size_t i = 0; i < track.waypoints().size(); ++i) {
    const DayWaypoint& waypoint = track.waypoints()[i];
    const QPoint at = Pixel(projection, area, waypoint.latitude, waypoint.longitude);
    if (!area.adjusted(-200, -20, 20, 20).contains(at)) continue;
    painter.setPen(QPen(kWaypointColour, 2));
    painter.drawLine(at, at + QPoint(0, -16));
    painter.setBrush(kWaypointColour);
    painter.drawRect(QRect(at + QPoint(0, -16), QSize(9, 6)));
    if (!names[i].isNull()) {
      painter.drawText(names[i].left(), at.y() - 8, QString::fromStdString(waypoint.name));
    }
  }
  if (showsPosition) {
    const QPoint at = positionAt;
    painter.setPen(QPen(colours.text, 1.5));
    painter.setBrush(MarkerColour(position.state));
    painter.drawEllipse(at, 7, 7);
  }
  painter.setBrush(Qt::NoBrush);
  painter.setRenderHint(QPainter::Antialiasing, false);

  PaintScaleBar(painter, area, projection.metresPerPixel(), colours.text);
  PaintNorthArrow(painter, area, factsHeight, colours.text);
  QString facts = title;
  if (!track.points().empty()) {
    facts += QStringLiteral("    %1    %2    %3 points")
                 .arg(DistanceText(track.distanceMetres()),
                      TimeSpanText(track.firstDayNumber(), track.lastDayNumber()))
                 .arg(track.points().size());
  } else {
    facts += QStringLiteral("    no track points");
  }
  const QRect band(area.left(), area.top(), area.width(), factsHeight);
  painter.fillRect(band, colours.band);
  painter.setPen(colours.text);
  // A narrow map (the summary beside it) ends the line in "..." rather than
  // in half a word.
  const QRect line = band.adjusted(8, 0, -8, 0);
  painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(painter.font()).elidedText(facts, Qt::ElideRight, line.width()));
  painter.restore();
}

}  // namespace pathmere
