#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QString>

#include <functional>
#include <vector>

#include "app/day_track.h"
#include "app/live_position.h"
#include "app/track_projection.h"
#include "ui/profile_painter.h"
#include "ui/track_line_layer.h"

class QFont;
class QPainter;

namespace pathmere {

// Colours of the map, shared with the tests that look for them.
inline const QColor kTrackColour(21, 101, 192);
inline const QColor kRouteColour(198, 40, 40);
inline const QColor kWaypointColour(46, 125, 50);
inline const QColor kMapBackground(250, 250, 246);
// The profile's speed bars and altitude line.
inline const QColor kSpeedColour(120, 160, 220);
inline const QColor kAltitudeColour(121, 85, 72);
// Lighter lines for a dark palette.
inline const QColor kDarkTrackColour(100, 175, 255);
inline const QColor kDarkSpeedColour(60, 100, 160);
inline const QColor kDarkAltitudeColour(240, 180, 120);

// The colour of the position marker for each state.
QColor MarkerColour(PositionState state);

// The band at the top of the map that holds the day's facts, in pixels.
int FactsBandHeight(const QFont& font);

// "12.3 km", "850 m".
QString DistanceText(double metres);
// "10:01:12-19:45:00 CEST (9 h 43 min)" for two UTC day numbers: the
// local time, as the day files are named.
QString TimeSpanText(double firstDayNumber, double lastDayNumber);
// "08:01:12-17:45:00 UTC".
QString UtcTimeSpanText(double firstDayNumber, double lastDayNumber);

// What a repaint reuses, so that once grown it allocates nothing.
struct TrackPaintScratch {
  // Where the route dot of each cell of the map is; (kNoDot, kNoDot) where
  // the cell has none.
  static constexpr int kNoDot = -1000000;
  std::vector<QPoint> dotCells;
  // The route points whose dots were drawn, by their index.
  std::vector<size_t> dotPoints;
  // What the caller draws over the map afterwards (the stop signs): labels
  // keep off it.
  std::vector<QRect> keepClear;
  // What the last picture's labels keep clear of and the labels themselves:
  // the facts, the scale bar, the north arrow, the position, each
  // waypoint's flag and name, the route numbers.
  std::vector<QRect> labels;
  // Where each waypoint's name went; empty where it had no room.
  std::vector<QRect> waypointNames;
  // One route dot, drawn once and copied for each: an antialiased ellipse
  // costs the painter many times a copy, and a long day shows hundreds.
  QImage routeDot;
  TrackLineLayer trackLine;
};

// Paints the day's map into `area` with the projection's viewport: the
// track, the numbered route points, the waypoints with their names, the
// position marker, a scale bar, a north arrow and, at the top, `title` with
// the distance, time span and number of points. A route dot that would
// fall on one already drawn is left out: a long day has thousands. A name
// or number that would cover another, the position or the map's furniture
// is left out too. `under` paints the map tiles over the background, under
// all the rest. The background and the text follow `palette`.
void PaintTrackMap(QPainter& painter, const QRect& area, const DayTrack& track,
                   const TrackProjection& projection, const LivePosition& position, const QString& title,
                   TrackPaintScratch& scratch, const std::function<void(QPainter&)>& under = {},
                   const QPalette& palette = QPalette());

}  // namespace pathmere
