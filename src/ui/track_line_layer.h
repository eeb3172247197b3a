#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

#include <cstddef>

#include "app/day_track.h"
#include "app/track_projection.h"

class QPainter;

namespace pathmere {

// The track's line, stroked once for a scale over the view and a margin
// around it: a pan within the margin copies the picture instead of
// stroking every point again. It is stroked again for another track, more
// points, another scale, size, pixel ratio or colour, or a pan past the
// margin.
class TrackLineLayer {
 public:
  // How far a pan may go, each way, before the line is stroked again.
  static constexpr int kMargin = 256;

  // Draws the line into `area`, whose top left is the projection's pixel (0, 0).
  void Paint(QPainter& painter, const QRect& area, const DayTrack& track, const TrackProjection& projection,
             const QColor& colour);

  // The pixel lines of the last stroke (over the view and its margin).
  const PixelLines& lines() const { return lines_; }

 private:
  bool Serves(const QRect& area, const DayTrack& track, const TrackProjection& projection, double ratio,
              const QColor& colour, double* x, double* y) const;
  void Stroke(const QRect& area, const DayTrack& track, const TrackProjection& projection, double ratio,
              const QColor& colour);

  PixelLines lines_;
  QImage image_;
  const DayTrack* track_ = nullptr;
  size_t points_ = 0;
  double firstDayNumber_ = 0.0;
  double lastDayNumber_ = 0.0;
  double metresPerPixel_ = 0.0;
  QSize viewSize_;
  QColor colour_;
  // The place under the picture's top left corner.
  double cornerLatitude_ = 0.0;
  double cornerLongitude_ = 0.0;
};

}  // namespace pathmere
