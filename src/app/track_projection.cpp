#include "app/track_projection.h"

#include <algorithm>
#include <cmath>

#include "text/safe_convert.h"

namespace pathmere {
namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
constexpr double kMercatorLimit = TrackProjection::kMercatorLatitudeLimit;
// Pixels further out than this are pinned to it: far outside any viewport,
// and well inside what the painter's integer coordinates take.
constexpr double kFarPixel = 1.0e6;
// Points within this many pixels beyond an edge still count as inside, so
// the line's width never shows a gap at the edge.
constexpr int32_t kEdgeSlack = 4;

double LatitudeOfMercatorY(double y) { return std::atan(std::sinh(y)) / kRadiansPerDegree; }

PixelPoint Pinned(double x, double y) {
  return {TruncateToInt32(std::clamp(std::round(x), -kFarPixel, kFarPixel)),
          TruncateToInt32(std::clamp(std::round(y), -kFarPixel, kFarPixel))};
}

// Which edges of the viewport a pixel lies beyond, one bit each.
uint32_t Outside(PixelPoint p, int32_t width, int32_t height) {
  return (p.x < -kEdgeSlack ? 1u : 0u) | (p.x > width + kEdgeSlack ? 2u : 0u) |
         (p.y < -kEdgeSlack ? 4u : 0u) | (p.y > height + kEdgeSlack ? 8u : 0u);
}

}  // namespace

double MercatorY(double latitude) {
  const double held = std::clamp(latitude, -kMercatorLimit, kMercatorLimit);
  return std::asinh(std::tan(held * kRadiansPerDegree));
}

void TrackProjection::SetViewport(int32_t width, int32_t height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
}

void TrackProjection::Fit(const GeoBounds& bounds, double reservedTop) {
  if (bounds.empty) return;
  const double top = std::isfinite(reservedTop) ? std::clamp(reservedTop, 0.0, height_ / 2.0) : 0.0;
  originLatitude_ = (bounds.south + bounds.north) / 2.0;
  originLongitude_ = (bounds.west + bounds.east) / 2.0;
  // Web Mercator scaled to true metres at the origin: the map tiles' own
  // projection, so tiles and track agree to the pixel at every zoom.
  eastMetresPerDegree_ =
      kMetresPerDegree *
      std::cos(std::clamp(originLatitude_, -kMercatorLimit, kMercatorLimit) * kRadiansPerDegree);
  originMercatorY_ = MercatorY(originLatitude_);
  centreEast_ = 0.0;
  centreNorth_ = 0.0;
  const double spanEast = (bounds.east - bounds.west) * eastMetresPerDegree_;
  const double spanNorth = (MercatorY(bounds.north) - MercatorY(bounds.south)) * NorthMetresPerMercatorY();
  const double usable = 1.0 - 2.0 * kFitMargin;
  const double scale = std::max(spanEast / (width_ * usable), spanNorth / ((height_ - top) * usable));
  metresPerPixel_ = scale > 0.0 ? std::clamp(scale, kFinestMetresPerPixel, kCoarsestMetresPerPixel)
                                : kDefaultMetresPerPixel;
  // The middle of the bounds in the middle of the free part.
  centreNorth_ = top / 2.0 * metresPerPixel_;
}

void TrackProjection::ZoomAbout(double pixelX, double pixelY, double factor) {
  if (!(factor > 0.0) || !std::isfinite(factor)) return;
  const double east = centreEast_ + (pixelX - width_ / 2.0) * metresPerPixel_;
  const double north = centreNorth_ - (pixelY - height_ / 2.0) * metresPerPixel_;
  metresPerPixel_ = std::clamp(metresPerPixel_ / factor, kFinestMetresPerPixel, kCoarsestMetresPerPixel);
  centreEast_ = east - (pixelX - width_ / 2.0) * metresPerPixel_;
  centreNorth_ = north + (pixelY - height_ / 2.0) * metresPerPixel_;
}

void TrackProjection::PanBy(double dx, double dy) {
  if (!std::isfinite(dx) || !std::isfinite(dy)) return;
  centreEast_ -= dx * metresPerPixel_;
  centreNorth_ += dy * metresPerPixel_;
}

void TrackProjection::ToPixel(double latitude, double longitude, double* x, double* y) const {
  MercatorToPixel(MercatorY(latitude), longitude, x, y);
}

void TrackProjection::MercatorToPixel(double mercatorY, double longitude, double* x, double* y) const {
  const double east = (longitude - originLongitude_) * eastMetresPerDegree_;
  const double north = (mercatorY - originMercatorY_) * NorthMetresPerMercatorY();
  *x = width_ / 2.0 + (east - centreEast_) / metresPerPixel_;
  *y = height_ / 2.0 - (north - centreNorth_) / metresPerPixel_;
}

double TrackProjection::NorthMetresPerMercatorY() const {
  // The east scale per radian of longitude; Mercator is the same both ways.
  return eastMetresPerDegree_ / kRadiansPerDegree;
}

void TrackProjection::FromPixel(double x, double y, double* latitude, double* longitude) const {
  const double east = centreEast_ + (x - width_ / 2.0) * metresPerPixel_;
  const double north = centreNorth_ - (y - height_ / 2.0) * metresPerPixel_;
  *latitude = LatitudeOfMercatorY(originMercatorY_ + north / NorthMetresPerMercatorY());
  // At a pole the east scale is 0; any longitude is as good as another.
  *longitude = originLongitude_ + (eastMetresPerDegree_ > 1e-9 ? east / eastMetresPerDegree_ : 0.0);
}

void DecimateTrack(const std::vector<DayTrackPoint>& points, const TrackProjection& projection,
                   PixelLines* lines) {
  lines->points.clear();
  lines->starts.clear();
  const int32_t width = projection.width();
  const int32_t height = projection.height();
  PixelPoint last;
  uint32_t lastOutside = 0;
  // The latest point of a run beyond an edge, not kept yet.
  bool holding = false;
  PixelPoint held;
  for (const DayTrackPoint& point : points) {
    double x = 0.0;
    double y = 0.0;
    projection.MercatorToPixel(point.mercatorY, point.longitude, &x, &y);
    const PixelPoint pixel = Pinned(x, y);
    const uint32_t outside = Outside(pixel, width, height);
    if (point.startsPiece || lines->starts.empty()) {
      lines->starts.push_back(lines->points.size());
      lines->points.push_back(pixel);
      last = pixel;
      lastOutside = outside;
      holding = false;
      continue;
    }
    // Both ends beyond the same edge: this stretch cannot show.
    if ((outside & lastOutside) != 0) {
      held = pixel;
      holding = true;
      lastOutside = outside;
      continue;
    }
    if (holding && !(held == last)) {
      lines->points.push_back(held);
      last = held;
    }
    holding = false;
    lastOutside = outside;
    if (pixel == last) continue;
    lines->points.push_back(pixel);
    last = pixel;
  }
}

std::vector<ProfileColumn> ProfileColumns(const std::vector<DayTrackPoint>& points, double firstDayNumber,
                                          double lastDayNumber, int32_t width) {
  std::vector<ProfileColumn> columns(static_cast<size_t>(std::max(width, 0)));
  const double span = lastDayNumber - firstDayNumber;
  if (columns.empty() || !(span > 0.0)) return columns;
  for (const DayTrackPoint& point : points) {
    const double where = (point.dayNumber - firstDayNumber) / span * width;
    const int32_t index = std::clamp(TruncateToInt32(where), 0, width - 1);
    ProfileColumn& column = columns[static_cast<size_t>(index)];
    ++column.points;
    column.startsPiece = column.startsPiece || point.startsPiece;
    column.topSpeedKmh = std::max(column.topSpeedKmh, point.speedKmh);
    if (point.hasAltitude) {
      ++column.altitudes;
      column.meanAltitudeMetres += (point.altitudeMetres - column.meanAltitudeMetres) / column.altitudes;
    }
  }
  return columns;
}

}  // namespace pathmere
