#include "archive/archive_overview.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>

#include "app/track_projection.h"
#include "archive/archive_codec.h"

namespace pathmere {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A segment from `a`, with its run and squared length worked out once for
// all the points measured against it.
struct Segment {
  explicit Segment(const WorldPoint& start, const WorldPoint& end)
      : a(start),
        dx(static_cast<double>(end.x - start.x)),
        dy(static_cast<double>(end.y - start.y)),
        length(dx * dx + dy * dy) {}
  WorldPoint a;
  double dx;
  double dy;
  double length;
};

// The squared distance of `p` from the segment.
double SquaredDistanceToSegment(const WorldPoint& p, const Segment& s) {
  double px = static_cast<double>(p.x - s.a.x);
  double py = static_cast<double>(p.y - s.a.y);
  if (s.length > 0.0) {
    const double t = std::clamp((px * s.dx + py * s.dy) / s.length, 0.0, 1.0);
    px -= t * s.dx;
    py -= t * s.dy;
  }
  return px * px + py * py;
}

// Two doubles, or two 64-bit masks, in one register: SSE2 does both lanes'
// arithmetic, and their division, in one instruction.
using DoublePair = double __attribute__((vector_size(16)));
using MaskPair = int64_t __attribute__((vector_size(16)));

// The same for the two points from `i` of the line's coordinates as
// doubles (world units, whole numbers far below 2^53, so each difference is
// exact and what the above converts), each lane the same operations as
// above; for a segment of some length.
[[gnu::always_inline]] inline DoublePair SquaredDistanceToSegment(const double* xs, const double* ys,
                                                                  size_t i, const Segment& s) {
  DoublePair px;
  DoublePair py;
  std::memcpy(&px, xs + i, sizeof px);
  std::memcpy(&py, ys + i, sizeof py);
  px -= static_cast<double>(s.a.x);
  py -= static_cast<double>(s.a.y);
  const DoublePair dx = {s.dx, s.dx};
  const DoublePair dy = {s.dy, s.dy};
  const DoublePair length = {s.length, s.length};
  const DoublePair one = {1.0, 1.0};
  DoublePair t = (px * dx + py * dy) / length;
  // std::clamp to [0, 1]: below 0 gives +0, above 1 gives 1.
  MaskPair bits = std::bit_cast<MaskPair>(t) & ~(t < DoublePair{0.0, 0.0});
  const MaskPair above = t > one;
  bits = (bits & ~above) | (std::bit_cast<MaskPair>(one) & above);
  t = std::bit_cast<DoublePair>(bits);
  px -= t * dx;
  py -= t * dy;
  return px * px + py * py;
}

// The nearest whole unit, halves away from zero as llround, of a value held
// to the world first: no call, and no conversion out of range (NaN gives
// 0).
int64_t WorldUnitOf(double value) {
  if (!(value > 0.0)) return 0;
  const double held = std::min(value, static_cast<double>(kWorldUnits - 1));
  const auto whole = static_cast<int64_t>(held);
  // Exact: a double less its whole part always is.
  return held - static_cast<double>(whole) >= 0.5 ? whole + 1 : whole;
}

int64_t TileOf(int64_t units, int zoom) {
  return std::clamp<int64_t>(units >> (32 - zoom), 0, (int64_t{1} << zoom) - 1);
}

using TileKey = std::tuple<int, int64_t, int64_t>;

// One line of one tile: its point count, then its points against the tile's
// corner and then each against the one before.
void AppendLine(std::span<const WorldPoint> line, int zoom, int64_t tileX, int64_t tileY, std::string* blob) {
  VarintWriter writer(blob);
  writer.Put(line.size());
  WorldPoint before{tileX << (32 - zoom), tileY << (32 - zoom)};
  for (const WorldPoint& p : line) {
    writer.PutSigned(p.x - before.x);
    writer.PutSigned(p.y - before.y);
    before = p;
  }
  writer.Flush();
}

// Cuts a simplified line at tile edges: each tile's part runs on to the
// first point of the next tile, so the line has no gap where tiles meet.
void AddToTiles(std::span<const WorldPoint> line, int zoom, std::map<TileKey, std::string>* tiles) {
  size_t start = 0;
  while (start < line.size()) {
    const int64_t tx = TileOf(line[start].x, zoom);
    const int64_t ty = TileOf(line[start].y, zoom);
    size_t end = start + 1;  // one past the tile's part
    while (end < line.size() && TileOf(line[end].x, zoom) == tx && TileOf(line[end].y, zoom) == ty) ++end;
    const size_t count = std::min(line.size(), end + 1) - start;
    if (count >= 2 || line.size() == 1)
      AppendLine(line.subspan(start, count), zoom, tx, ty, &(*tiles)[{zoom, tx, ty}]);
    start = end;
  }
}

}  // namespace

double NearbyMercatorY::Of(double latitude) {
  constexpr double kRadiansPerDegree = kPi / 180.0;
  // Beyond 70 degrees the sixth term grows past what the series may leave out.
  constexpr double kSeriesLimit = 70.0;
  if (!(std::fabs(latitude) <= kSeriesLimit)) return MercatorY(latitude);
  const double cell = std::round(latitude * 4.0);
  const double centre = cell / 4.0;
  if (cell != cell_) {
    // y = atanh(sin phi): y' = sec, y'' = sec tan, y''' = sec (2 tan^2 + 1),
    // y'''' = sec tan (6 tan^2 + 5), y''''' = sec (24 tan^4 + 28 tan^2 + 5).
    const double phi = centre * kRadiansPerDegree;
    const double sec = 1.0 / std::cos(phi);
    const double tan = std::tan(phi);
    const double tan2 = tan * tan;
    terms_[0] = MercatorY(centre);
    terms_[1] = sec;
    terms_[2] = sec * tan / 2.0;
    terms_[3] = sec * (2.0 * tan2 + 1.0) / 6.0;
    terms_[4] = sec * tan * (6.0 * tan2 + 5.0) / 24.0;
    terms_[5] = sec * (24.0 * tan2 * tan2 + 28.0 * tan2 + 5.0) / 120.0;
    cell_ = cell;
  }
  const double d = (latitude - centre) * kRadiansPerDegree;
  return terms_[0] + d * (terms_[1] + d * (terms_[2] + d * (terms_[3] + d * (terms_[4] + d * terms_[5]))));
}

WorldPoint WorldPointOf(double longitude, double mercatorY) {
  const double units = static_cast<double>(kWorldUnits);
  const double x = (longitude + 180.0) / 360.0 * units;
  const double y = (0.5 - mercatorY / (2.0 * kPi)) * units;
  return {WorldUnitOf(x), WorldUnitOf(y)};
}

// Splits from the left first, so each kept point is found after those
// before it and goes straight into the result: no flags to gather them.
std::vector<size_t> SimplifyLine(std::span<const WorldPoint> line, double tolerance) {
  std::vector<size_t> kept;
  if (line.size() <= 2) {
    for (size_t i = 0; i < line.size(); ++i) kept.push_back(i);
    return kept;
  }
  const double limit = tolerance * tolerance;
  // The coordinates once as doubles, side by side for two at a time.
  std::vector<double> xs(line.size());
  std::vector<double> ys(line.size());
  for (size_t i = 0; i < line.size(); ++i) {
    xs[i] = static_cast<double>(line[i].x);
    ys[i] = static_cast<double>(line[i].y);
  }
  // The parts still to look at, the leftmost on top; a part that is not
  // split keeps its first point.
  std::vector<std::pair<size_t, size_t>> stack{{0, line.size() - 1}};
  while (!stack.empty()) {
    const auto [first, last] = stack.back();
    stack.pop_back();
    if (last - first > 1) {
      const Segment segment(line[first], line[last]);
      // The first farthest point: two points at a time, each lane keeping
      // the first farthest of its own, then the farther of those, the
      // earlier on a tie.
      double farthest[2] = {-1.0, -1.0};
      size_t found[2] = {first, first};
      size_t i = first + 1;
      if (segment.length > 0.0) {
        for (; i + 1 < last; i += 2) {
          const DoublePair d = SquaredDistanceToSegment(xs.data(), ys.data(), i, segment);
          if (d[0] > farthest[0]) {
            farthest[0] = d[0];
            found[0] = i;
          }
          if (d[1] > farthest[1]) {
            farthest[1] = d[1];
            found[1] = i + 1;
          }
        }
      }
      for (; i < last; ++i) {
        const double d = SquaredDistanceToSegment(line[i], segment);
        if (d > farthest[0]) {
          farthest[0] = d;
          found[0] = i;
        }
      }
      const int lane =
          farthest[1] > farthest[0] || (farthest[1] == farthest[0] && found[1] < found[0]) ? 1 : 0;
      const size_t index = found[lane];
      if (farthest[lane] > limit) {
        stack.emplace_back(index, last);
        stack.emplace_back(first, index);
        continue;
      }
    }
    kept.push_back(first);
  }
  kept.push_back(line.size() - 1);
  return kept;
}

std::vector<OverviewTile> BuildOverviewTiles(std::span<const DayTrackPoint> points, size_t firstRun) {
  std::vector<OverviewTile> out;
  constexpr size_t kLevels = std::size(kOverviewZooms);
  std::map<TileKey, std::string> tiles;
  std::vector<WorldPoint> world(points.size());
  for (size_t i = 0; i < points.size(); ++i)
    world[i] = WorldPointOf(points[i].longitude, points[i].mercatorY);
  for (size_t runStart = 0, run = firstRun; runStart < points.size(); runStart += kOverviewRunPoints, ++run) {
    // The run's points, and the next run's first unless the track breaks there.
    size_t runEnd = std::min(points.size(), runStart + kOverviewRunPoints);
    if (runEnd < points.size() && !points[runEnd].startsPiece) ++runEnd;
    tiles.clear();
    size_t start = runStart;
    while (start < runEnd) {
      size_t end = start + 1;
      while (end < runEnd && !points[end].startsPiece) ++end;
      // One piece of the line, simplified from the finest level down, each
      // level from the one above with what the finer ones took off its
      // tolerance, so every level stays within its half pixel of the full
      // track.
      std::vector<WorldPoint> line(world.begin() + static_cast<std::ptrdiff_t>(start),
                                   world.begin() + static_cast<std::ptrdiff_t>(end));
      double used = 0.0;
      for (size_t level = kLevels; level-- > 0;) {
        const int zoom = kOverviewZooms[level];
        const double tolerance = HalfPixelUnits(zoom) - used;
        used += tolerance;
        const std::vector<size_t> kept = SimplifyLine(line, tolerance);
        std::vector<WorldPoint> simpler;
        simpler.reserve(kept.size());
        for (size_t index : kept) simpler.push_back(line[index]);
        line = std::move(simpler);
        AddToTiles(line, zoom, &tiles);
      }
      start = end;
    }
    for (auto& [key, blob] : tiles) {
      out.push_back(
          {std::get<0>(key), std::get<1>(key), std::get<2>(key), static_cast<int64_t>(run), std::move(blob)});
    }
  }
  return out;
}

bool DecodeOverviewTile(const OverviewTile& tile, std::vector<std::vector<WorldPoint>>* lines) {
  const std::string_view blob = tile.blob;
  size_t at = 0;
  while (at < blob.size()) {
    uint64_t count = 0;
    if (!ReadVarint(blob, &at, &count) || count > blob.size()) return false;
    std::vector<WorldPoint> line;
    line.reserve(count);
    WorldPoint p{tile.x << (32 - tile.zoom), tile.y << (32 - tile.zoom)};
    for (uint64_t i = 0; i < count; ++i) {
      int64_t dx = 0, dy = 0;
      if (!ReadSigned(blob, &at, &dx) || !ReadSigned(blob, &at, &dy)) return false;
      p.x += dx;
      p.y += dy;
      line.push_back(p);
    }
    lines->push_back(std::move(line));
  }
  return true;
}

int OverviewLevelFor(double zoom) {
  for (size_t level = 0; level < std::size(kOverviewZooms); ++level) {
    if (zoom <= kOverviewZooms[level]) return static_cast<int>(level);
  }
  return -1;
}

}  // namespace pathmere
