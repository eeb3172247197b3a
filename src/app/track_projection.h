#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/day_track.h"

namespace pathmere {

// The northing of Web Mercator in radians; latitudes beyond what the map
// tiles cover are held at their edge, so a pole stays finite.
double MercatorY(double latitude);

struct PixelPoint {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const PixelPoint&) const = default;
};

// Web Mercator, the projection of map tiles, scaled so that a pixel is
// `metresPerPixel` at the origin's latitude (metres east and north of the
// origin), and the view onto it: a centre, a scale and a viewport in
// pixels, y downwards.
class TrackProjection {
 public:
  static constexpr double kMetresPerDegree = 111195.0;
  // From a ruler's millimetre to a continent per pixel.
  static constexpr double kFinestMetresPerPixel = 0.01;
  static constexpr double kCoarsestMetresPerPixel = 50000.0;
  // The scale of a view with nothing, or a single place, to fit.
  static constexpr double kDefaultMetresPerPixel = 2.0;
  // The part of the viewport left free around a fitted track, each side.
  static constexpr double kFitMargin = 0.05;
  // The latitudes Web Mercator tiles cover; beyond, positions are held here.
  static constexpr double kMercatorLatitudeLimit = 85.0511287798066;

  void SetViewport(int32_t width, int32_t height);
  // The origin moves to the middle of `bounds` and the scale shows them
  // whole, with a margin, below the top `reservedTop` pixels (where the
  // view writes its facts); empty bounds keep the origin.
  void Fit(const GeoBounds& bounds, double reservedTop = 0.0);
  // Zooms in by `factor` (out below 1) keeping the place under the pixel
  // where it is.
  void ZoomAbout(double pixelX, double pixelY, double factor);
  // Moves the picture by so many pixels, as a drag does.
  void PanBy(double dx, double dy);

  void ToPixel(double latitude, double longitude, double* x, double* y) const;
  // The same from a northing MercatorY() gave.
  void MercatorToPixel(double mercatorY, double longitude, double* x, double* y) const;
  void FromPixel(double x, double y, double* latitude, double* longitude) const;

  double metresPerPixel() const { return metresPerPixel_; }
  // Screen pixels per degree of longitude: with Web Mercator this fixes
  // the map tiles' zoom.
  double pixelsPerDegreeEast() const { return eastMetresPerDegree_ / metresPerPixel_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

 private:
  double NorthMetresPerMercatorY() const;

  int32_t width_ = 1;
  int32_t height_ = 1;
  double originLatitude_ = 0.0;
  double originLongitude_ = 0.0;
  double eastMetresPerDegree_ = kMetresPerDegree;
  double originMercatorY_ = 0.0;
  // The viewport's centre, in metres east and north of the origin.
  double centreEast_ = 0.0;
  double centreNorth_ = 0.0;
  double metresPerPixel_ = kDefaultMetresPerPixel;
};

// The track as pixel polylines for drawing: a point in the same pixel as the
// one kept before it is left out, and so is a run of points that stays
// beyond one edge of the viewport (but the run's last point, which the line
// back in starts from). A piece of the track is a line of its own.
struct PixelLines {
  std::vector<PixelPoint> points;
  std::vector<size_t> starts;  // where each line begins in `points`

  size_t LineCount() const { return starts.size(); }
  size_t LineEnd(size_t line) const { return line + 1 < starts.size() ? starts[line + 1] : points.size(); }
};
void DecimateTrack(const std::vector<DayTrackPoint>& points, const TrackProjection& projection,
                   PixelLines* lines);

// One pixel column of the speed and altitude profile: the fastest speed and
// the mean altitude of the points whose time falls in it, and whether one of
// them starts a piece of the track (the profile is broken there too).
struct ProfileColumn {
  int32_t points = 0;
  double topSpeedKmh = 0.0;
  int32_t altitudes = 0;
  double meanAltitudeMetres = 0.0;
  bool startsPiece = false;
};
// `width` columns for the times from `firstDayNumber` to `lastDayNumber`.
std::vector<ProfileColumn> ProfileColumns(const std::vector<DayTrackPoint>& points, double firstDayNumber,
                                          double lastDayNumber, int32_t width);

}  // namespace pathmere
