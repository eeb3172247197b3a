#pragma once

#include <QPalette>
#include <QRect>
#include <QString>

#include <vector>

#include "app/day_track.h"

class QFontMetrics;
class QPainter;

namespace pathmere {

// Where the profile's parts go in its area, and its axes' scales: speed
// from 0 up on the right, altitude on the left, both in whole steps that
// enclose the day's values.
struct ProfileLayout {
  QRect plot;
  int keyHeight = 0;
  double topSpeedKmh = 1.0;
  double speedStepKmh = 1.0;
  bool hasAltitude = false;
  double lowAltitudeMetres = 0.0;
  double highAltitudeMetres = 1.0;
  double altitudeStepMetres = 1.0;
};

ProfileLayout LayOutProfile(const QRect& area, const DayTrack& track, const QFontMetrics& metrics);

// Paints the speed (bars) and, where known, the altitude (a line) over the
// day's time into `area`: a key above naming both and their units,
// altitudes on the left, speeds on the right, the local time of day along
// the bottom. `labels`, when given, gets where the key and each value went;
// none covers another.
void PaintProfile(QPainter& painter, const QRect& area, const DayTrack& track,
                  const QPalette& palette = QPalette(), std::vector<QRect>* labels = nullptr);

// What the profile shows at `x`: the nearest point's local and UTC time,
// its speed and altitude. Empty beside the plot.
QString ProfileToolTip(const QRect& area, const DayTrack& track, const QFontMetrics& metrics, int x);

}  // namespace pathmere
