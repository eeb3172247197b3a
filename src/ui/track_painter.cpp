#include "ui/track_painter.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace pathmere {
namespace {

constexpr double kSecondsPerDay = 86400.0;
// Route numbers closer than this to the last one written would overlap it.
constexpr int kRouteLabelSpacing = 28;
// Points of the track stroked at a time.
constexpr size_t kPointsPerStroke = 32;
// A route dot is drawn only in a cell of this many pixels that has none yet.
constexpr int kDotCell = 5;

QString ClockText(double dayNumber) {
  const double seconds = std::fmod(std::max(dayNumber, 0.0), 1.0) * kSecondsPerDay;
  const int whole = std::clamp(static_cast<int>(seconds + 0.000001), 0, 86399);
  return QStringLiteral("%1:%2:%3")
      .arg(whole / 3600, 2, 10, QLatin1Char('0'))
      .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

// The longest 1, 2 or 5 times a power of ten metres that fits `maxMetres`.
double RoundScaleLength(double maxMetres) {
  const double power = std::pow(10.0, std::floor(std::log10(maxMetres)));
  for (double step : {5.0, 2.0, 1.0}) {
    if (step * power <= maxMetres) return step * power;
  }
  return power;
}

void PaintScaleBar(QPainter& painter, const QRect& area, double metresPerPixel) {
  const double metres = RoundScaleLength(area.width() / 5.0 * metresPerPixel);
  const int length = std::max(1, static_cast<int>(std::lround(metres / metresPerPixel)));
  const int x = area.left() + 12;
  const int y = area.bottom() - 14;
  painter.setPen(QPen(Qt::black, 2));
  painter.drawLine(x, y, x + length, y);
  painter.drawLine(x, y - 5, x, y + 1);
  painter.drawLine(x + length, y - 5, x + length, y + 1);
  painter.drawText(QRect(x, y - 22, std::max(length, 80), 18), Qt::AlignLeft | Qt::AlignBottom,
                   DistanceText(metres));
}

void PaintNorthArrow(QPainter& painter, const QRect& area) {
  const int cx = area.right() - 22;
  const int top = area.top() + 12;
  QPolygon arrow;
  arrow << QPoint(cx, top) << QPoint(cx + 8, top + 24) << QPoint(cx, top + 18) << QPoint(cx - 8, top + 24);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::black);
  painter.drawPolygon(arrow);
  painter.setBrush(Qt::NoBrush);
  painter.drawText(QRect(cx - 10, top + 24, 20, 18), Qt::AlignCenter, QStringLiteral("N"));
}

QPoint Pixel(const TrackProjection& projection, const QRect& area, double latitude, double longitude) {
  double x = 0.0;
  double y = 0.0;
  projection.ToPixel(latitude, longitude, &x, &y);
  // Far-off places only need to be off the picture.
  return {area.left() + static_cast<int>(std::clamp(x, -1.0e6, 1.0e6)),
          area.top() + static_cast<int>(std::clamp(y, -1.0e6, 1.0e6))};
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
  return QStringLiteral("%1-%2 UTC (%3 h %4 min)")
      .arg(ClockText(firstDayNumber), ClockText(lastDayNumber))
      .arg(minutes / 60)
      .arg(minutes % 60);
}

void PaintTrackMap(QPainter& painter, const QRect& area, const DayTrack& track,
                   const TrackProjection& projection, const LivePosition& position, const QString& title,
                   TrackPaintScratch& scratch, const std::function<void(QPainter&)>& under) {
  PixelLines& lines = scratch.lines;
  painter.save();
  painter.setClipRect(area);
  painter.fillRect(area, kMapBackground);
  if (under) under(painter);
  painter.setRenderHint(QPainter::Antialiasing, true);

  DecimateTrack(track.points(), projection, &lines);
  // Round joins and caps would cost the painter twice as much as the rest
  // of the picture together.
  painter.setPen(QPen(kTrackColour, 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
  painter.translate(area.topLeft());
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
  painter.translate(-area.topLeft());

  // Route points: a dot each, a number where there is room for it.
  painter.setPen(QPen(Qt::white, 1));
  painter.setBrush(kRouteColour);
  QPoint lastLabel(-100000, -100000);
  const int cellColumns = area.width() / kDotCell + 1;
  const int cellRows = area.height() / kDotCell + 1;
  scratch.dotCells.assign(static_cast<size_t>(cellColumns) * static_cast<size_t>(cellRows), false);
  for (const DayRoutePoint& point : track.routePoints()) {
    const QPoint at = Pixel(projection, area, point.latitude, point.longitude);
    if (!area.contains(at)) continue;
    const size_t cell =
        static_cast<size_t>((at.y() - area.top()) / kDotCell) * static_cast<size_t>(cellColumns) +
        static_cast<size_t>((at.x() - area.left()) / kDotCell);
    if (scratch.dotCells[cell]) continue;
    scratch.dotCells[cell] = true;
    painter.drawEllipse(at, 4, 4);
    if ((at - lastLabel).manhattanLength() >= kRouteLabelSpacing) {
      painter.setPen(kRouteColour);
      painter.drawText(at + QPoint(6, -6), QString::number(point.number));
      painter.setPen(QPen(Qt::white, 1));
      lastLabel = at;
    }
  }
  // Waypoints: a flag with the name.
  for (const DayWaypoint& waypoint : track.waypoints()) {
    const QPoint at = Pixel(projection, area, waypoint.latitude, waypoint.longitude);
    if (!area.adjusted(-200, -20, 20, 20).contains(at)) continue;
    painter.setPen(QPen(kWaypointColour, 2));
    painter.drawLine(at, at + QPoint(0, -16));
    painter.setBrush(kWaypointColour);
    painter.drawRect(QRect(at + QPoint(0, -16), QSize(9, 6)));
    painter.drawText(at + QPoint(11, -8), QString::fromStdString(waypoint.name));
  }
  if (position.state != PositionState::kIdle && position.hasPosition) {
    const QPoint at = Pixel(projection, area, position.latitude, position.longitude);
    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(MarkerColour(position.state));
    painter.drawEllipse(at, 7, 7);
  }
  painter.setBrush(Qt::NoBrush);
  painter.setRenderHint(QPainter::Antialiasing, false);

  PaintScaleBar(painter, area, projection.metresPerPixel());
  PaintNorthArrow(painter, area);
  QString facts = title;
  if (!track.points().empty()) {
    facts += QStringLiteral("    %1    %2    %3 points")
                 .arg(DistanceText(track.distanceMetres()),
                      TimeSpanText(track.firstDayNumber(), track.lastDayNumber()))
                 .arg(track.points().size());
  } else {
    facts += QStringLiteral("    no track points");
  }
  const QRect band(area.left(), area.top(), area.width(), FactsBandHeight(painter.font()));
  painter.fillRect(band, QColor(255, 255, 255, 210));
  painter.setPen(Qt::black);
  painter.drawText(band.adjusted(8, 0, -48, 0), Qt::AlignLeft | Qt::AlignVCenter, facts);
  painter.restore();
}

void PaintProfile(QPainter& painter, const QRect& area, const DayTrack& track) {
  painter.save();
  painter.setClipRect(area);
  painter.fillRect(area, Qt::white);
  const QFontMetrics metrics(painter.font());
  const int labelHeight = metrics.height();
  const QRect plot = area.adjusted(4, labelHeight + 2, -4, -labelHeight - 2);
  if (track.points().size() < 2 || plot.width() < 2 || plot.height() < 2) {
    painter.setPen(Qt::gray);
    painter.drawText(area, Qt::AlignCenter, QStringLiteral("no speed profile"));
    painter.restore();
    return;
  }
  const std::vector<ProfileColumn> columns =
      ProfileColumns(track.points(), track.firstDayNumber(), track.lastDayNumber(), plot.width());
  double topSpeed = 1.0;
  double lowAltitude = 1e300;
  double highAltitude = -1e300;
  for (const ProfileColumn& column : columns) {
    topSpeed = std::max(topSpeed, column.topSpeedKmh);
    if (column.altitudes == 0) continue;
    lowAltitude = std::min(lowAltitude, column.meanAltitudeMetres);
    highAltitude = std::max(highAltitude, column.meanAltitudeMetres);
  }
  painter.setPen(QColor(120, 160, 220));
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].points == 0) continue;
    const int x = plot.left() + static_cast<int>(i);
    const int height = static_cast<int>(columns[i].topSpeedKmh / topSpeed * plot.height());
    painter.drawLine(x, plot.bottom(), x, plot.bottom() - height);
  }
  const bool hasAltitude = highAltitude >= lowAltitude;
  if (hasAltitude) {
    const double range = std::max(highAltitude - lowAltitude, 1.0);
    painter.setPen(QPen(QColor(121, 85, 72), 1.5));
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath path;
    bool drawing = false;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].altitudes == 0) {
        drawing = false;
        continue;
      }
      const QPointF at(plot.left() + static_cast<double>(i),
                       plot.bottom() - (columns[i].meanAltitudeMetres - lowAltitude) / range * plot.height());
      if (drawing) {
        path.lineTo(at);
      } else {
        path.moveTo(at);
      }
      drawing = true;
    }
    painter.drawPath(path);
    painter.setRenderHint(QPainter::Antialiasing, false);
  }
  painter.setPen(Qt::black);
  QString legend = QStringLiteral("speed up to %1 km/h").arg(std::lround(topSpeed));
  if (hasAltitude) {
    legend +=
        QStringLiteral("    altitude %1-%2 m").arg(std::lround(lowAltitude)).arg(std::lround(highAltitude));
  }
  painter.drawText(area.adjusted(4, 0, -4, 0), Qt::AlignTop | Qt::AlignLeft, legend);
  painter.drawText(area.adjusted(4, 0, -4, 0), Qt::AlignBottom | Qt::AlignLeft,
                   ClockText(track.firstDayNumber()) + QStringLiteral(" UTC"));
  painter.drawText(area.adjusted(4, 0, -4, 0), Qt::AlignBottom | Qt::AlignRight,
                   ClockText(track.lastDayNumber()) + QStringLiteral(" UTC"));
  painter.restore();
}

}  // namespace pathmere
