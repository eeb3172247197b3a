#include "ui/all_days_map.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QWheelEvent>

namespace pathmere {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A tile's row or column at `zoom` of a place given in world units.
int64_t TileOf(double units, int zoom) {
  const double tiles = static_cast<double>(int64_t{1} << zoom);
  return static_cast<int64_t>(
      std::clamp(std::floor(units / static_cast<double>(kWorldUnits) * tiles), 0.0, tiles - 1.0));
}

}  // namespace

AllDaysMap::AllDaysMap(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("allDaysMap"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(false);
  setMinimumSize(320, 240);
  mapLayer_.onTileReady = [this] { update(); };
}

QColor AllDaysMap::YearColour(int year) { return QColor::fromHsv((year * 67) % 360, 220, 190); }

// Hues a golden angle apart, so the first few devices differ most.
QColor AllDaysMap::DeviceColour(size_t index) {
  return QColor::fromHsv(static_cast<int>((index * 137 + 210) % 360), 230,
                         200 - static_cast<int>(index / 8 % 3) * 40);
}

void AllDaysMap::SetIndex(ArchiveIndex* index, std::vector<ArchiveFolder> folders) {
  index_ = index;
  folders_ = std::move(folders);
  deviceColours_.clear();
  for (size_t i = 0; i < folders_.size(); ++i) deviceColours_.emplace(folders_[i].device, DeviceColour(i));
  update();
}

void AllDaysMap::Fit(const GeoBounds& bounds) {
  fitted_ = bounds;
  keepFitted_ = true;
  projection_.SetViewport(width(), height());
  projection_.Fit(bounds);
  update();
}

void AllDaysMap::ShowOnly(std::vector<std::string> prefixes) {
  only_ = std::move(prefixes);
  update();
}

void AllDaysMap::resizeEvent(QResizeEvent*) {
  projection_.SetViewport(width(), height());
  if (keepFitted_) projection_.Fit(fitted_);
}

void AllDaysMap::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  mapLayer_.Paint(painter, projection_);
  if (index_ == nullptr) return;
  // The level whose half pixel is no coarser than the screen's.
  const double zoom = std::log2(projection_.pixelsPerDegreeEast() * 360.0 / 256.0);
  int level = OverviewLevelFor(zoom);
  if (level < 0) level = static_cast<int>(std::size(kOverviewZooms)) - 1;
  const int tileZoom = kOverviewZooms[level];
  double north = 0, west = 0, south = 0, east = 0;
  projection_.FromPixel(0, 0, &north, &west);
  projection_.FromPixel(width(), height(), &south, &east);
  const WorldPoint topLeft = WorldPointOf(std::clamp(west, -180.0, 180.0), MercatorY(north));
  const WorldPoint bottomRight = WorldPointOf(std::clamp(east, -180.0, 180.0), MercatorY(south));
  painter.setRenderHint(QPainter::Antialiasing, true);
  std::vector<std::vector<WorldPoint>> lines;
  QPolygonF polygon;
  std::string error;
  index_->Overview(
      folders_, level, TileOf(static_cast<double>(topLeft.x), tileZoom),
      TileOf(static_cast<double>(topLeft.y), tileZoom), TileOf(static_cast<double>(bottomRight.x), tileZoom),
      TileOf(static_cast<double>(bottomRight.y), tileZoom),
      [&](const std::string& day, const std::string& device, const OverviewTile& tile) {
        if (!only_.empty() && std::none_of(only_.begin(), only_.end(), [&](const std::string& prefix) {
              return day.compare(0, prefix.size(), prefix) == 0;
            })) {
          return;
        }
        lines.clear();
        if (!DecodeOverviewTile(tile, &lines)) return;
        const auto colour = deviceColours_.find(device);
        painter.setPen(QPen(byDevice() && colour != deviceColours_.end() ? colour->second
                                                                         : YearColour(std::atoi(day.c_str())),
                            1.6));
        for (const std::vector<WorldPoint>& line : lines) {
          polygon.clear();
          for (const WorldPoint& p : line) {
            const double lon = static_cast<double>(p.x) / static_cast<double>(kWorldUnits) * 360.0 - 180.0;
            const double mercator =
                (0.5 - static_cast<double>(p.y) / static_cast<double>(kWorldUnits)) * 2.0 * kPi;
            double x = 0, y = 0;
            projection_.MercatorToPixel(mercator, lon, &x, &y);
            polygon << QPointF(x, y);
          }
          painter.drawPolyline(polygon);
        }
      },
      &error);
  if (boxing_) {
    painter.setPen(QPen(palette().highlight().color(), 1, Qt::DashLine));
    painter.drawRect(QRect(pressed_, last_).normalized());
  }
}

void AllDaysMap::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  projection_.ZoomAbout(event->position().x(), event->position().y(), std::pow(kZoomPerNotch, notches));
  keepFitted_ = false;
  update();
}

void AllDaysMap::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = last_ = event->position().toPoint();
  dragging_ = false;
  boxing_ = (event->modifiers() & Qt::ShiftModifier) != 0;
}

void AllDaysMap::mouseMoveEvent(QMouseEvent* event) {
  if ((event->buttons() & Qt::LeftButton) == 0) return;
  const QPoint at = event->position().toPoint();
  if ((at - pressed_).manhattanLength() > 3) dragging_ = true;
  if (!boxing_ && dragging_) {
    projection_.PanBy(at.x() - last_.x(), at.y() - last_.y());
    keepFitted_ = false;
  }
  last_ = at;
  update();
}

void AllDaysMap::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint at = event->position().toPoint();
  ArchiveArea area;
  if (boxing_ && dragging_) {
    double lat1 = 0, lon1 = 0, lat2 = 0, lon2 = 0;
    projection_.FromPixel(pressed_.x(), pressed_.y(), &lat1, &lon1);
    projection_.FromPixel(at.x(), at.y(), &lat2, &lon2);
    area.box = true;
    area.south = std::min(lat1, lat2);
    area.north = std::max(lat1, lat2);
    area.west = std::min(lon1, lon2);
    area.east = std::max(lon1, lon2);
  } else if (!dragging_) {
    projection_.FromPixel(at.x(), at.y(), &area.latitude, &area.longitude);
    area.radiusMetres = kClickPixels * projection_.metresPerPixel();
  }
  const bool ask = !dragging_ || boxing_;
  boxing_ = dragging_ = false;
  update();
  if (ask && onAsk) onAsk(area);
}

}  // namespace pathmere
