#include "ui/stop_marks.h"

#include <QFontMetrics>
#include <QPainter>

#include "app/day_summary_text.h"
#include "ui/view_clock.h"

namespace pathmere {

namespace {

QFont SignFont(QFont font) {
  font.setBold(true);
  return font;
}

}  // namespace

std::vector<QRect> StopSignPlaces(const QFont& font, const TrackProjection& projection,
                                  const std::vector<DayStop>& stops) {
  std::vector<QRect> places;
  const int side = QFontMetrics(SignFont(font)).height() + 2;
  for (const DayStop& stop : stops) {
    double x = 0.0;
    double y = 0.0;
    projection.ToPixel(stop.latitude, stop.longitude, &x, &y);
    if (!(x >= -side && y >= -side && x <= projection.width() + side && y <= projection.height() + side))
      continue;
    places.emplace_back(static_cast<int>(x) - side / 2, static_cast<int>(y) - side / 2, side, side);
  }
  return places;
}

void PaintStopMarks(QPainter& painter, const TrackProjection& projection, const std::vector<DayStop>& stops) {
  if (stops.empty()) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setFont(SignFont(painter.font()));
  for (const QRect& sign : StopSignPlaces(painter.font(), projection, stops)) {
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(kStopColour);
    painter.drawRoundedRect(sign, 3, 3);
    painter.setPen(Qt::white);
    painter.drawText(sign, Qt::AlignCenter, QStringLiteral("P"));
  }
  painter.restore();
}

QString StopText(const DayStop& stop) {
  return QStringLiteral("%1  %2  %3 %4")
      .arg(BothClocksText(stop.startDayNumber), QString::fromStdString(StopDurationText(stop)))
      .arg(stop.latitude, 0, 'f', 5)
      .arg(stop.longitude, 0, 'f', 5);
}

}  // namespace pathmere
