#pragma once

#include <vector>

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include "app/day_summary.h"
#include "app/track_projection.h"

class QPainter;

namespace pathmere {

inline const QColor kStopColour(106, 27, 154);

// A "P" sign at each stop of the day, its size telling nothing: the panel
// and its tooltip give the times.
void PaintStopMarks(QPainter& painter, const TrackProjection& projection, const std::vector<DayStop>& stops);
// Where those signs go on the map, in the painter's font.
std::vector<QRect> StopSignPlaces(const QFont& font, const TrackProjection& projection,
                                  const std::vector<DayStop>& stops);

// "14:03:12 CEST (12:03:12 UTC)  0:12:00  47.00000 8.00000": when the stop
// began, how long it lasted and where.
QString StopText(const DayStop& stop);

}  // namespace pathmere
