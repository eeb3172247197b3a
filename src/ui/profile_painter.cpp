#include "ui/profile_painter.h"

#include <algorithm>
#include <cmath>

#include <QFontMetrics>
#include <QPainter>
#include <QPolygonF>

#include "app/track_projection.h"
#include "text/safe_convert.h"
#include "ui/view_clock.h"
#include "ui/view_colours.h"

namespace pathmere {
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr int kTickLength = 3;
// Values on an axis at most: an absurd range in tiny steps stops here.
constexpr int kMostValues = 50;
// Steps of the time axis, in seconds: the shortest whose labels fit.
constexpr int kTimeSteps[] = {10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200};

// 1, 2 or 5 times a power of ten: the smallest that splits `range` into at
// most `intervals` parts.
double NiceStep(double range, int intervals) {
  const double raw = range / std::max(intervals, 1);
  if (!(raw > 0.0) || !std::isfinite(raw)) return 1.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= raw) return factor * power;
  }
  return 10.0 * power;
}

QString Number(double value) { return QString::number(value, 'f', 0); }

// A label placed only where it covers nothing taken before it.
bool Take(std::vector<QRect>& taken, const QRect& place) {
  for (const QRect& other : taken) {
    if (other.intersects(place)) return false;
  }
  taken.push_back(place);
  return true;
}

double AltitudeY(const ProfileLayout& layout, double metres) {
  const double range = layout.highAltitudeMetres - layout.lowAltitudeMetres;
  return layout.plot.bottom() + 1 - (metres - layout.lowAltitudeMetres) / range * layout.plot.height();
}

double SpeedY(const ProfileLayout& layout, double kmh) {
  return layout.plot.bottom() + 1 - kmh / layout.topSpeedKmh * layout.plot.height();
}

// A value beside the plot, centred on its height and kept between the key
// and the time labels.
QRect ValuePlace(const QFontMetrics& metrics, const QRect& column, const ProfileLayout& layout, double y,
                 const QString& text) {
  const int height = metrics.height();
  const int top = std::clamp(TruncateToInt32(std::round(y)) - height / 2, layout.plot.top(),
                             std::max(layout.plot.top(), layout.plot.bottom() + kTickLength + 1 - height));
  const int width = metrics.horizontalAdvance(text);
  const int left = column.left() == layout.plot.right() + 1 ? column.left() + 3 : column.right() - 2 - width;
  return QRect(left, top, width, height);
}

void PaintTimeAxis(QPainter& painter, const QFontMetrics& metrics, const QRect& area,
                   const ProfileLayout& layout, const DayTrack& track, std::vector<QRect>& taken) {
  const QRect& plot = layout.plot;
  const double first = track.firstDayNumber();
  const double span = track.lastDayNumber() - first;
  if (!(span > 0.0)) return;
  const double seconds = span * kSecondsPerDay;
  int step = kTimeSteps[std::size(kTimeSteps) - 1];
  for (int candidate : kTimeSteps) {
    const QString sample = candidate < 60 ? QStringLiteral("00:00:00") : QStringLiteral("00:00");
    if (seconds / candidate * (metrics.horizontalAdvance(sample) + 16) <= plot.width()) {
      step = candidate;
      break;
    }
  }
  // Whole steps of the local clock, from the first point's offset; the
  // offset of each tick's own instant names it.
  const double firstOffset = LocalDayNumber(first) - first;
  const double localFirst = (first + firstOffset) * kSecondsPerDay;
  const double startStep = std::ceil(localFirst / step);
  for (int i = 0; i <= 2000; ++i) {
    const double local = (startStep + i) * step / kSecondsPerDay;
    double utc = local - firstOffset;
    utc = local - (LocalDayNumber(utc) - utc);
    if (utc > track.lastDayNumber()) break;
    if (utc < first) continue;
    const int x = plot.left() + TruncateToInt32((utc - first) / span * plot.width());
    painter.drawLine(x, plot.bottom() + 1, x, plot.bottom() + kTickLength);
    QString text = ClockText(LocalDayNumber(utc));
    if (step >= 60) text.truncate(5);
    const int width = metrics.horizontalAdvance(text);
    const QRect place(std::clamp(x - width / 2, area.left(), std::max(area.left(), area.right() + 1 - width)),
                      plot.bottom() + kTickLength + 1, width, metrics.height());
    if (Take(taken, place)) painter.drawText(place, Qt::AlignCenter, text);
  }
}

}  // namespace

ProfileLayout LayOutProfile(const QRect& area, const DayTrack& track, const QFontMetrics& metrics) {
  ProfileLayout layout;
  const int line = metrics.height();
  layout.keyHeight = line + 2;
  double topSpeed = 1.0;
  double low = 1e300;
  double high = -1e300;
  for (const DayTrackPoint& point : track.points()) {
    if (std::isfinite(point.speedKmh)) topSpeed = std::max(topSpeed, point.speedKmh);
    if (!point.hasAltitude || !std::isfinite(point.altitudeMetres)) continue;
    low = std::min(low, point.altitudeMetres);
    high = std::max(high, point.altitudeMetres);
  }
  const int plotHeight = area.height() - layout.keyHeight - line - kTickLength - 1;
  const int intervals = std::max(1, plotHeight * 2 / (line * 3));
  // Values are written whole: a step below 1 would write some twice.
  layout.speedStepKmh = std::max(1.0, NiceStep(topSpeed, intervals));
  layout.topSpeedKmh =
      std::max(layout.speedStepKmh, std::ceil(topSpeed / layout.speedStepKmh) * layout.speedStepKmh);
  // A range past what a double holds has no scale to draw.
  layout.hasAltitude = high >= low && std::isfinite(high - low);
  if (layout.hasAltitude) {
    layout.altitudeStepMetres = std::max(1.0, NiceStep(high - low, intervals));
    layout.lowAltitudeMetres = std::floor(low / layout.altitudeStepMetres) * layout.altitudeStepMetres;
    layout.highAltitudeMetres = std::ceil(high / layout.altitudeStepMetres) * layout.altitudeStepMetres;
    if (!(layout.highAltitudeMetres > layout.lowAltitudeMetres))
      layout.highAltitudeMetres = layout.lowAltitudeMetres + layout.altitudeStepMetres;
  }
  // Room for the widest value each side; absurd values get a quarter.
  const int most = area.width() / 4;
  const int left = layout.hasAltitude
                       ? std::max(metrics.horizontalAdvance(Number(layout.lowAltitudeMetres)),
                                  metrics.horizontalAdvance(Number(layout.highAltitudeMetres))) +
                             kTickLength + 4
                       : 4;
  const int right = metrics.horizontalAdvance(Number(layout.topSpeedKmh)) + kTickLength + 4;
  layout.plot = QRect(area.left() + std::min(left, most), area.top() + layout.keyHeight,
                      area.width() - std::min(left, most) - std::min(right, most), plotHeight);
  return layout;
}

void PaintProfile(QPainter& painter, const QRect& area, const DayTrack& track, const QPalette& palette,
                  std::vector<QRect>* labels) {
  const ViewColours colours = ViewColoursFor(palette);
  painter.save();
  painter.setClipRect(area);
  painter.fillRect(area, colours.profileBackground);
  const QFontMetrics metrics(painter.font());
  const ProfileLayout layout = LayOutProfile(area, track, metrics);
  const QRect& plot = layout.plot;
  std::vector<QRect> ownLabels;
  std::vector<QRect>& taken = labels != nullptr ? *labels : ownLabels;
  taken.clear();
  if (track.points().size() < 2 || plot.width() < 2 || plot.height() < 2) {
    painter.setPen(colours.text);
    painter.drawText(area, Qt::AlignCenter, QStringLiteral("no speed profile"));
    painter.restore();
    return;
  }
  // Value lines at the altitudes where there are altitudes, else at the speeds.
  painter.setPen(colours.grid);
  const double gridStep = layout.hasAltitude ? layout.altitudeStepMetres : layout.speedStepKmh;
  const double gridTop = layout.hasAltitude ? layout.highAltitudeMetres : layout.topSpeedKmh;
  const double gridBottom = layout.hasAltitude ? layout.lowAltitudeMetres : 0.0;
  for (int i = 1; i <= kMostValues; ++i) {
    const double value = gridBottom + i * gridStep;
    if (!(value <= gridTop + gridStep / 2)) break;
    const int y = TruncateToInt32(layout.hasAltitude ? AltitudeY(layout, value) : SpeedY(layout, value));
    painter.drawLine(plot.left(), y, plot.right(), y);
  }

  const std::vector<ProfileColumn> columns =
      ProfileColumns(track.points(), track.firstDayNumber(), track.lastDayNumber(), plot.width());
  // A day with fewer points than the plot is wide leaves empty columns
  // between its points: a bar reaches to the next point's column and the
  // altitude line joins the points, both only within a piece of the track.
  const int pointCount = static_cast<int>(std::min<size_t>(track.points().size(), 1u << 30));
  const int lastBarWidth = std::max(1, plot.width() / pointCount);
  painter.setPen(Qt::NoPen);
  painter.setBrush(colours.speed);
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].points == 0) continue;
    size_t next = i + 1;
    while (next < columns.size() && columns[next].points == 0) ++next;
    const bool pieceGoesOn = next < columns.size() && !columns[next].startsPiece;
    const int width =
        pieceGoesOn ? static_cast<int>(next - i) : std::min(lastBarWidth, static_cast<int>(next - i));
    const double share = std::clamp(columns[i].topSpeedKmh / layout.topSpeedKmh, 0.0, 1.0);
    const int height = TruncateToInt32(share * plot.height());
    if (height > 0)
      painter.drawRect(plot.left() + static_cast<int>(i), plot.bottom() + 1 - height, width, height);
  }
  painter.setBrush(Qt::NoBrush);
  if (layout.hasAltitude) {
    painter.setPen(QPen(colours.altitude, 1.5));
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPolygonF line;
    auto drawLine = [&] {
      if (line.size() == 1) painter.drawPoint(line.front());
      if (line.size() > 1) painter.drawPolyline(line);
      line.clear();
    };
    for (const ProfileColumn& column : columns) {
      // Points without an altitude break the line; columns without points do not.
      if (column.startsPiece || (column.points > 0 && column.altitudes == 0)) drawLine();
      if (column.altitudes == 0) continue;
      const double x = plot.left() + static_cast<double>(&column - columns.data());
      const double y = AltitudeY(layout, column.meanAltitudeMetres);
      line << QPointF(
          x, std::isfinite(y) ? std::clamp(y, 1.0 * plot.top(), plot.bottom() + 1.0) : plot.bottom() + 1.0);
    }
    drawLine();
    painter.setRenderHint(QPainter::Antialiasing, false);
  }

  // The key first: values and times keep off it and off each other.
  painter.setPen(colours.text);
  const int swatch = std::max(6, metrics.ascent() - 2);
  const int keyTop = area.top() + (layout.keyHeight - 2 - swatch) / 2;
  int x = area.left() + 4;
  auto keyPart = [&](const QColor& colour, bool isLine, const QString& text) {
    const QRect place(x, area.top(), swatch + 4 + metrics.horizontalAdvance(text), layout.keyHeight - 2);
    if (place.right() > area.right() || !Take(taken, place)) return;
    if (isLine) {
      painter.fillRect(QRect(x, keyTop + swatch / 2 - 1, swatch, 3), colour);
    } else {
      painter.fillRect(QRect(x, keyTop, swatch, swatch), colour);
    }
    painter.drawText(place.adjusted(swatch + 4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    x = place.right() + 16;
  };
  double topSpeed = 0.0;
  for (const ProfileColumn& column : columns) topSpeed = std::max(topSpeed, column.topSpeedKmh);
  keyPart(colours.speed, false,
          QStringLiteral("speed, km/h (up to %1)").arg(Number(std::min(topSpeed, 1e9))));
  if (layout.hasAltitude) {
    double low = 1e300;
    double high = -1e300;
    for (const ProfileColumn& column : columns) {
      if (column.altitudes == 0) continue;
      low = std::min(low, column.meanAltitudeMetres);
      high = std::max(high, column.meanAltitudeMetres);
    }
    keyPart(colours.altitude, true, QStringLiteral("altitude, m (%1-%2)").arg(Number(low), Number(high)));
  }
  const QString zone = QStringLiteral("time, ") + ZoneText(track.lastDayNumber());
  const int zoneWidth = metrics.horizontalAdvance(zone);
  const QRect zonePlace(area.right() - 4 - zoneWidth, area.top(), zoneWidth, layout.keyHeight - 2);
  if (Take(taken, zonePlace)) painter.drawText(zonePlace, Qt::AlignRight | Qt::AlignVCenter, zone);

  // Altitudes on the left, speeds on the right, each at its tick.
  const QRect leftColumn(area.left(), plot.top(), plot.left() - area.left(), plot.height());
  const QRect rightColumn(plot.right() + 1, plot.top(), area.right() - plot.right(), plot.height());
  // Ticks point into the plot, so none reads as a minus sign before a value.
  auto value = [&](const QRect& column, double y, const QString& text) {
    const bool onLeft = column == leftColumn;
    const int iy = TruncateToInt32(y);
    const int edge = onLeft ? plot.left() : plot.right();
    painter.drawLine(edge, iy, onLeft ? edge + kTickLength : edge - kTickLength, iy);
    // A value too wide for its side (a damaged file's) is left out.
    const QRect place = ValuePlace(metrics, column, layout, y, text);
    if (area.contains(place) && Take(taken, place)) painter.drawText(place, Qt::AlignCenter, text);
  };
  for (int i = 0; i <= kMostValues && layout.hasAltitude; ++i) {
    const double metres = layout.lowAltitudeMetres + i * layout.altitudeStepMetres;
    if (!(metres <= layout.highAltitudeMetres + layout.altitudeStepMetres / 2)) break;
    value(leftColumn, AltitudeY(layout, metres), Number(metres));
  }
  for (int i = 0; i <= kMostValues; ++i) {
    const double kmh = i * layout.speedStepKmh;
    if (!(kmh <= layout.topSpeedKmh + layout.speedStepKmh / 2)) break;
    value(rightColumn, SpeedY(layout, kmh), Number(kmh));
  }
  PaintTimeAxis(painter, metrics, area, layout, track, taken);
  painter.restore();
}

QString ProfileToolTip(const QRect& area, const DayTrack& track, const QFontMetrics& metrics, int x) {
  const ProfileLayout layout = LayOutProfile(area, track, metrics);
  const double span = track.lastDayNumber() - track.firstDayNumber();
  if (track.points().size() < 2 || !(span > 0.0) || x < layout.plot.left() || x > layout.plot.right())
    return QString();
  // The plot's first and last columns are the day's first and last points.
  const double at =
      track.firstDayNumber() + (x - layout.plot.left()) / std::max(1.0, layout.plot.width() - 1.0) * span;
  const DayTrackPoint* nearest = &track.points().front();
  for (const DayTrackPoint& point : track.points()) {
    if (std::fabs(point.dayNumber - at) < std::fabs(nearest->dayNumber - at)) nearest = &point;
  }
  QString text =
      BothClocksText(nearest->dayNumber) +
      QStringLiteral("\n%1 km/h")
          .arg(Number(std::isfinite(nearest->speedKmh) ? std::clamp(nearest->speedKmh, 0.0, 1e9) : 0.0));
  if (nearest->hasAltitude) text += QStringLiteral(", %1 m").arg(Number(nearest->altitudeMetres));
  return text;
}

}  // namespace pathmere
