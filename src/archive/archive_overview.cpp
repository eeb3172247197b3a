#include "archive/archive_overview.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "archive/archive_codec.h"

namespace pathmere {
namespace {

constexpr double kPi = 3.14159265358979323846;

double SquaredDistanceToSegment(const WorldPoint& p, const WorldPoint& a, const WorldPoint& b) {
  const double dx = static_cast<double>(b.x - a.x);
  const double dy = static_cast<double>(b.y - a.y);
  double px = static_cast<double>(p.x - a.x);
  double py = static_cast<double>(p.y - a.y);
  const double length = dx * dx + dy * dy;
  if (length > 0.0) {
    const double t = std::clamp((px * dx + py * dy) / length, 0.0, 1.0);
    px -= t * dx;
    py -= t * dy;
  }
  return px * px + py * py;
}

int64_t TileOf(int64_t units, int zoom) {
  return std::clamp<int64_t>(units >> (32 - zoom), 0, (int64_t{1} << zoom) - 1);
}

using TileKey = std::tuple<int, int64_t, int64_t>;

// One line of one tile: its point count, then its points against the tile's
// corner and then each against the one before.
void AppendLine(std::span<const WorldPoint> line, int zoom, int64_t tileX, int64_t tileY, std::string* blob) {
  AppendVarint(blob, line.size());
  WorldPoint before{tileX << (32 - zoom), tileY << (32 - zoom)};
  for (const WorldPoint& p : line) {
    AppendSigned(blob, p.x - before.x);
    AppendSigned(blob, p.y - before.y);
    before = p;
  }
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

WorldPoint WorldPointOf(double longitude, double mercatorY) {
  const double units = static_cast<double>(kWorldUnits);
  const double x = (longitude + 180.0) / 360.0 * units;
  const double y = (0.5 - mercatorY / (2.0 * kPi)) * units;
  return {std::clamp<int64_t>(std::llround(x), 0, kWorldUnits - 1),
          std::clamp<int64_t>(std::llround(y), 0, kWorldUnits - 1)};
}

std::vector<size_t> SimplifyLine(std::span<const WorldPoint> line, double tolerance) {
  std::vector<size_t> kept;
  if (line.size() <= 2) {
    for (size_t i = 0; i < line.size(); ++i) kept.push_back(i);
    return kept;
  }
  std::vector<char> keep(line.size(), 0);
  keep.front() = keep.back() = 1;
  const double limit = tolerance * tolerance;
  std::vector<std::pair<size_t, size_t>> stack{{0, line.size() - 1}};
  while (!stack.empty()) {
    const auto [first, last] = stack.back();
    stack.pop_back();
    double farthest = -1.0;
    size_t index = first;
    for (size_t i = first + 1; i < last; ++i) {
      const double d = SquaredDistanceToSegment(line[i], line[first], line[last]);
      if (d > farthest) {
        farthest = d;
        index = i;
      }
    }
    if (farthest > limit) {
      keep[index] = 1;
      if (index - first > 1) stack.emplace_back(first, index);
      if (last - index > 1) stack.emplace_back(index, last);
    }
  }
  for (size_t i = 0; i < line.size(); ++i) {
    if (keep[i] != 0) kept.push_back(i);
  }
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
