#include "app/day_track.h"

#include <algorithm>
#include <cmath>

#include "app/track_projection.h"
#include "fix/units.h"
#include "output/ozi_line_reader.h"

namespace pathmere {
namespace {

constexpr double kEarthRadiusMetres = 6371008.8;
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
constexpr double kSecondsPerDay = 86400.0;

}  // namespace

void GeoBounds::Include(double latitude, double longitude) {
  if (empty) {
    south = north = latitude;
    west = east = longitude;
    empty = false;
    return;
  }
  south = std::min(south, latitude);
  north = std::max(north, latitude);
  west = std::min(west, longitude);
  east = std::max(east, longitude);
}

void GeoBounds::Include(const GeoBounds& other) {
  if (other.empty) return;
  Include(other.south, other.west);
  Include(other.north, other.east);
}

double GroundDistanceMetres(double latitude1, double longitude1, double latitude2, double longitude2) {
  return GroundDistanceMetres(latitude1, longitude1, CosineOfLatitude(latitude1), latitude2, longitude2,
                              CosineOfLatitude(latitude2));
}

double CosineOfLatitude(double latitude) { return std::cos(latitude * kRadiansPerDegree); }

double GroundDistanceMetres(double latitude1, double longitude1, double cosine1, double latitude2,
                            double longitude2, double cosine2) {
  const double phi1 = latitude1 * kRadiansPerDegree;
  const double phi2 = latitude2 * kRadiansPerDegree;
  const double sinHalfPhi = std::sin((phi2 - phi1) / 2.0);
  const double sinHalfLambda = std::sin((longitude2 - longitude1) * kRadiansPerDegree / 2.0);
  const double a = sinHalfPhi * sinHalfPhi + cosine1 * cosine2 * sinHalfLambda * sinHalfLambda;
  return 2.0 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(a)));
}

double GroundDistanceAtLeastMetres(double latitude1, double longitude1, double cosine1, double latitude2,
                                   double longitude2, double cosine2) {
  // The haversine's 2 asin(sqrt(a)) is at least 2 sqrt(a), and sin(x) at
  // least x (1 - x^2 / 6): under half a degree that is within a millionth
  // of the flat distance, so one per cent less is always below.
  const double dPhi = (latitude2 - latitude1) * kRadiansPerDegree;
  const double dLambda = (longitude2 - longitude1) * kRadiansPerDegree;
  constexpr double kShort = 0.5 * kRadiansPerDegree;
  if (!(std::fabs(dPhi) < kShort && std::fabs(dLambda) < kShort && cosine1 > 0.0 && cosine2 > 0.0))
    return 0.0;
  return 0.99 * kEarthRadiusMetres * std::sqrt(dPhi * dPhi + cosine1 * cosine2 * dLambda * dLambda);
}

void DayTrack::AddTrackPoint(double latitude, double longitude, double dayNumber, bool hasAltitude,
                             double altitudeMetres) {
  DayTrackPoint point{latitude, longitude, dayNumber, hasAltitude, hasAltitude ? altitudeMetres : 0.0};
  const DayTrackPoint* previous = points_.empty() ? nullptr : &points_.back();
  const double seconds = previous != nullptr ? (dayNumber - previous->dayNumber) * kSecondsPerDay : 0.0;
  point.startsPiece = StartsTrackPiece(previous == nullptr, seconds);
  point.mercatorY = MercatorY(latitude);
  if (point.startsPiece) {
    ++totals_.pieces;
  } else {
    const double metres = GroundDistanceMetres(previous->latitude, previous->longitude, latitude, longitude);
    totals_.distanceMetres += metres;
    // Two points in one second (a waypoint's extra point) give no speed.
    point.speedKmh = seconds >= 0.5 ? metres / seconds * 3.6 : previous->speedKmh;
  }
  if (const double reported = speeds_.At(dayNumber); reported >= 0.0) point.speedKmh = reported * 3.6;
  totals_.bounds.Include(latitude, longitude);
  points_.push_back(point);
}

void DayTrack::AddRoutePoint(const DayRoutePoint& point) {
  totals_.bounds.Include(point.latitude, point.longitude);
  route_.push_back(point);
}

void DayTrack::AddWaypoint(const DayWaypoint& waypoint) {
  totals_.bounds.Include(waypoint.latitude, waypoint.longitude);
  waypoints_.push_back(waypoint);
}

size_t DayTrack::AddTrackText(std::string_view text) {
  return ForEachWholeLine(text, [this](std::string_view line) {
    TrackLine parsed;
    if (!ParseTrackPointLine(line, &parsed)) return;
    AddTrackPoint(parsed.latitude, parsed.longitude, parsed.dayNumber, parsed.hasAltitude,
                  parsed.altitudeFeet / kFeetPerMetre);
  });
}

size_t DayTrack::AddRouteText(std::string_view text) {
  return ForEachWholeLine(text, [this](std::string_view line) {
    RouteLine parsed;
    if (ParseRoutePointLine(line, &parsed)) AddRoutePoint({parsed.number, parsed.latitude, parsed.longitude});
  });
}

size_t DayTrack::AddWaypointText(std::string_view text) {
  return ForEachWholeLine(text, [this](std::string_view line) {
    WaypointLine parsed;
    if (ParseWaypointLine(line, &parsed)) AddWaypoint({parsed.name, parsed.latitude, parsed.longitude});
  });
}

void DayTrack::Checkpoint() {
  mark_ = {points_.size(), route_.size(), waypoints_.size(), totals_};
  speeds_.Checkpoint();
}

void DayTrack::RollBack() {
  points_.resize(mark_.points);
  route_.resize(mark_.route);
  waypoints_.resize(mark_.waypoints);
  speeds_.RollBack();
  totals_ = mark_.totals;
}

}  // namespace pathmere
