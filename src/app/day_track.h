#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/receiver_speeds.h"
#include "fix/track_pieces.h"

namespace pathmere {

// A stretch of the earth in degrees; empty until the first position.
struct GeoBounds {
  double south = 0.0;
  double west = 0.0;
  double north = 0.0;
  double east = 0.0;
  bool empty = true;

  void Include(double latitude, double longitude);
  void Include(const GeoBounds& other);
};

// One track point as the view needs it. Times are UTC day numbers (days
// since 1899-12-30), as the files keep them.
struct DayTrackPoint {
  double latitude = 0.0;
  double longitude = 0.0;
  double dayNumber = 0.0;
  bool hasAltitude = false;
  double altitudeMetres = 0.0;
  // The receiver's, where its speed for this point was added before the
  // point; else from the previous point of the same piece (0 at a piece's
  // first point).
  double speedKmh = 0.0;
  // The line is broken before this point (and it is the day's first).
  bool startsPiece = false;
  // Web Mercator's northing of the latitude, worked out once: the view
  // projects every point of the day at every repaint.
  double mercatorY = 0.0;
};

struct DayRoutePoint {
  int32_t number = 0;
  double latitude = 0.0;
  double longitude = 0.0;
};

struct DayWaypoint {
  std::string name;
  double latitude = 0.0;
  double longitude = 0.0;
};

// Metres along the earth's surface between two positions (haversine).
double GroundDistanceMetres(double latitude1, double longitude1, double latitude2, double longitude2);
// The same with the cosines of both latitudes (CosineOfLatitude) known, for
// a point measured against several others.
double CosineOfLatitude(double latitude);
double GroundDistanceMetres(double latitude1, double longitude1, double cosine1, double latitude2,
                            double longitude2, double cosine2);
// A little less than that, without sines, for a short way (under half a
// degree each way); 0, which any way is at least, for a longer one.
double GroundDistanceAtLeastMetres(double latitude1, double longitude1, double cosine1, double latitude2,
                                   double longitude2, double cosine2);

// What the track view shows of one local day: the track, broken where two
// points are far apart in time, its length, time span and bounds, the route
// points and the waypoints. Points come in file order; the model only grows,
// except that everything after a checkpoint can be taken back, so points
// still pending in memory can be replaced by the same points read from the
// file once they are written.
class DayTrack {
 public:
  // Points further apart than this belong to separate pieces of the line.
  static constexpr double kBreakSeconds = kTrackBreakSeconds;

  void AddTrackPoint(double latitude, double longitude, double dayNumber, bool hasAltitude,
                     double altitudeMetres);
  void AddRoutePoint(const DayRoutePoint& point);
  void AddWaypoint(const DayWaypoint& waypoint);
  // Parses whole lines of a .plt, .rte or .wpt file and adds what they hold;
  // other lines are passed over. Returns the bytes of whole lines used.
  size_t AddTrackText(std::string_view text);
  size_t AddRouteText(std::string_view text);
  size_t AddWaypointText(std::string_view text);
  // The receiver's speeds from a .gpx file's lines, kept beside the points
  // (add them first: a point takes its speed as it comes).
  size_t AddGpxText(std::string_view text) { return speeds_.AddGpxText(text); }
  void AddReceiverSpeed(double dayNumber, double metresPerSecond) { speeds_.Add(dayNumber, metresPerSecond); }

  // Everything added from now on can be taken back by RollBack.
  void Checkpoint();
  void RollBack();
  void Clear() { *this = DayTrack(); }

  const std::vector<DayTrackPoint>& points() const { return points_; }
  const std::vector<DayRoutePoint>& routePoints() const { return route_; }
  const std::vector<DayWaypoint>& waypoints() const { return waypoints_; }
  const ReceiverSpeeds& receiverSpeeds() const { return speeds_; }
  // Along the track, without the jumps across breaks.
  double distanceMetres() const { return totals_.distanceMetres; }
  // Of the track, route points and waypoints together.
  const GeoBounds& bounds() const { return totals_.bounds; }
  // Day numbers of the first and the last track point (0 without points).
  double firstDayNumber() const { return points_.empty() ? 0.0 : points_.front().dayNumber; }
  double lastDayNumber() const { return points_.empty() ? 0.0 : points_.back().dayNumber; }
  int32_t pieceCount() const { return totals_.pieces; }
  bool IsEmpty() const { return points_.empty() && route_.empty() && waypoints_.empty(); }

 private:
  struct Totals {
    double distanceMetres = 0.0;
    GeoBounds bounds;
    int32_t pieces = 0;
  };
  struct Mark {
    size_t points = 0;
    size_t route = 0;
    size_t waypoints = 0;
    Totals totals;
  };

  std::vector<DayTrackPoint> points_;
  std::vector<DayRoutePoint> route_;
  std::vector<DayWaypoint> waypoints_;
  ReceiverSpeeds speeds_;
  Totals totals_;
  Mark mark_;
};

}  // namespace pathmere
