#pragma once

#include <vector>

#include <QColor>

#include "app/day_summary.h"
#include "app/track_projection.h"

class QPainter;

namespace pathmere {

inline const QColor kStopColour(106, 27, 154);

// A "P" sign at each stop of the day, its size telling nothing: the panel
// and its tooltip give the times.
void PaintStopMarks(QPainter& painter, const TrackProjection& projection, const std::vector<DayStop>& stops);

}  // namespace pathmere
