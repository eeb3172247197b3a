#include "ui/all_days_map.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

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

quint64 KeyOf(int zoom, int64_t x, int64_t y) {
  return (static_cast<quint64>(zoom) << 58) | (static_cast<quint64>(x) << 29) | static_cast<quint64>(y);
}

double LongitudeOfUnits(double x) { return x / static_cast<double>(kWorldUnits) * 360.0 - 180.0; }
double LatitudeOfUnits(double y) {
  return std::atan(std::sinh((0.5 - y / static_cast<double>(kWorldUnits)) * 2.0 * kPi)) * 180.0 / kPi;
}

// FNV-1a, for names that must stay the same from one run to the next.
quint64 Hash(quint64 hash, const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ULL;
  return hash;
}
quint64 Hash(quint64 hash, const std::string& text) {
  return Hash(Hash(hash, text.data(), text.size()), "", 1);
}
constexpr quint64 kHashStart = 14695981039346656037ULL;
// The stored pictures' room on disk: tens of thousands of tiles.
constexpr uint64_t kStoredPictureBytes = uint64_t{256} << 20;

// A tile's box with a margin: a line that leaves the tile between two points
// outside it, and the pen's width, still show at its edge.
GeoBounds BoxOf(int zoom, int64_t x, int64_t y) {
  const double tileUnits = static_cast<double>(kWorldUnits >> zoom);
  const double left = static_cast<double>(x) * tileUnits, top = static_cast<double>(y) * tileUnits;
  const double margin = tileUnits / 8.0;
  GeoBounds box;
  box.Include(LatitudeOfUnits(top - margin), LongitudeOfUnits(left - margin));
  box.Include(LatitudeOfUnits(top + tileUnits + margin), LongitudeOfUnits(left + tileUnits + margin));
  return box;
}

bool Meet(const GeoBounds& a, const GeoBounds& b) {
  return !a.empty && !b.empty && a.north >= b.south && a.south <= b.north && a.east >= b.west &&
         a.west <= b.east;
}

bool Shown(const std::vector<std::string>& only, const std::string& day) {
  return only.empty() || std::any_of(only.begin(), only.end(), [&](const std::string& prefix) {
           return day.compare(0, prefix.size(), prefix) == 0;
         });
}

}  // namespace

AllDaysMap::AllDaysMap(QWidget* parent) : QWidget(parent), context_(std::make_unique<QObject>()) {
  setObjectName(QStringLiteral("allDaysMap"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(false);
  setMinimumSize(320, 240);
  mapLayer_.onTileReady = [this] { update(); };
  pool_.setMaxThreadCount(kWorkers);
  Refresh();
}

AllDaysMap::~AllDaysMap() {
  StopWorker();
  // Tiles still posted to the context go with it.
  context_.reset();
}

void AllDaysMap::StopWorker() {
  pool_.clear();
  pool_.waitForDone();
  pending_.clear();
}

QColor AllDaysMap::YearColour(int year) { return QColor::fromHsv((year * 67) % 360, 220, 190); }

// Hues a golden angle apart, so the first few devices differ most.
QColor AllDaysMap::DeviceColour(size_t index) {
  return QColor::fromHsv(static_cast<int>((index * 137 + 210) % 360), 230,
                         200 - static_cast<int>(index / 8 % 3) * 40);
}

int AllDaysMap::TileZoomFor(double zoom) {
  if (!std::isfinite(zoom)) return 0;
  return static_cast<int>(std::lround(std::clamp(zoom, 0.0, static_cast<double>(kFinestTileZoom))));
}

void AllDaysMap::SetIndex(ArchiveIndex* index, std::vector<ArchiveFolder> folders) {
  StopWorker();
  tiles_.clear();
  readers_.clear();
  index_ = index;
  folders_ = std::move(folders);
  deviceColours_.clear();
  for (size_t i = 0; i < folders_.size(); ++i) deviceColours_.emplace(folders_[i].device, DeviceColour(i));
  Refresh();
}

void AllDaysMap::Refresh() {
  auto drawing = std::make_shared<Drawing>();
  if (index_ != nullptr) drawing->file = index_->file();
  drawing->folders = folders_;
  drawing->only = only_;
  drawing->deviceColours = deviceColours_;
  drawing->byDevice = byDevice();
  quint64 colouring = Hash(kHashStart, drawing->byDevice ? "devices" : "years");
  for (const auto& [device, colour] : drawing->deviceColours) {
    colouring = Hash(Hash(colouring, device), colour.name().toStdString());
  }
  for (const std::string& prefix : drawing->only) colouring = Hash(Hash(colouring, "only"), prefix);
  drawing->colouring = colouring;
  if (!drawing->file.empty()) drawing->pictures.emplace(drawing->file.parent_path() / "all-days-pictures");
  drawing_ = std::move(drawing);
  ++generation_;
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
  Refresh();
}

void AllDaysMap::resizeEvent(QResizeEvent*) {
  projection_.SetViewport(width(), height());
  if (keepFitted_) projection_.Fit(fitted_);
}

void AllDaysMap::Ask(int zoom, int64_t x, int64_t y, int priority) {
  const quint64 key = KeyOf(zoom, x, y);
  if (pending_.contains(key)) return;
  pending_.insert(key);
  const quint64 generation = generation_;
  pool_.start(
      [this, drawing = drawing_, key, generation, zoom, x, y] {
        {
          std::lock_guard<std::mutex> lock(wantedMutex_);
          if (!wanted_.contains(key)) {
            QMetaObject::invokeMethod(
                context_.get(),
                [this, key] {
                  pending_.remove(key);
                  update();
                },
                Qt::QueuedConnection);
            return;
          }
        }
        const QImage image = StoredOrDrawn(*drawing, zoom, x, y);
        QMetaObject::invokeMethod(
            context_.get(), [this, key, generation, image] { Deliver(key, generation, image); },
            Qt::QueuedConnection);
      },
      priority);
}

std::unique_ptr<ArchiveIndex> AllDaysMap::TakeReader(const std::filesystem::path& file) {
  {
    std::lock_guard<std::mutex> lock(readersMutex_);
    while (!readers_.empty()) {
      std::unique_ptr<ArchiveIndex> reader = std::move(readers_.back());
      readers_.pop_back();
      if (reader->file() == file) return reader;
    }
  }
  std::string note, error;
  std::unique_ptr<ArchiveIndex> reader = ArchiveIndex::Open(file, false, &note, &error);
  if (reader != nullptr) reader->ReadWithoutMemoryMap();
  return reader;
}

void AllDaysMap::GiveBack(std::unique_ptr<ArchiveIndex> reader) {
  std::lock_guard<std::mutex> lock(readersMutex_);
  readers_.push_back(std::move(reader));
}

QImage AllDaysMap::StoredOrDrawn(const Drawing& drawing, int zoom, int64_t x, int64_t y) {
  std::unique_ptr<ArchiveIndex> reader = TakeReader(drawing.file);
  if (reader == nullptr) return {};
  std::call_once(drawing.daysRead, [&] {
    std::string error;
    drawing.daysGood = reader->Days(drawing.folders, &drawing.days, &error);
  });
  // The days that meet the tile, as they are now: a day that grew or was
  // read again changes it, and the stored picture is drawn again.
  const GeoBounds box = BoxOf(zoom, x, y);
  quint64 generation = 0, count = 0;
  for (const ArchiveDay& day : drawing.days) {
    if (!Meet(day.bounds, box) || !Shown(drawing.only, day.day)) continue;
    quint64 hash = Hash(Hash(kHashStart, day.day), day.device);
    hash = Hash(hash, &day.summary.points, sizeof day.summary.points);
    for (const double edge : {day.bounds.south, day.bounds.west, day.bounds.north, day.bounds.east}) {
      hash = Hash(hash, &edge, sizeof edge);
    }
    // A sum: the days' order does not matter.
    generation += hash;
    ++count;
  }
  QImage image;
  if (!drawing.daysGood) {
    // Asked for again at the next paint, of a new reading.
  } else if (count == 0) {
    // No day comes here: clear, and nothing asked of the index.
    image = QImage(kTilePixels, kTilePixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
  } else {
    generation = Hash(generation, &count, sizeof count);
    if (drawing.pictures) {
      std::call_once(pruned_, [&] { drawing.pictures->Prune(kStoredPictureBytes); });
      image = drawing.pictures->Find(zoom, x, y, drawing.colouring, generation);
    }
    if (image.isNull()) {
      image = DrawTile(*reader, drawing, zoom, x, y);
      if (!image.isNull() && drawing.pictures) {
        drawing.pictures->Keep(zoom, x, y, drawing.colouring, generation, image);
      }
    }
  }
  GiveBack(std::move(reader));
  return image;
}

QImage AllDaysMap::DrawTile(ArchiveIndex& reader, const Drawing& drawing, int zoom, int64_t x, int64_t y) {
  std::string error;
  QImage image(kTilePixels, kTilePixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  // Smoothed lines only where they are few enough to see it: at a region's
  // scale years of lines lie on one another, and smoothing them costs most.
  painter.setRenderHint(QPainter::Antialiasing, zoom > kSharpZoom);
  const double tileUnits = static_cast<double>(kWorldUnits >> zoom);
  const double left = static_cast<double>(x) * tileUnits, top = static_cast<double>(y) * tileUnits;
  const double scale = kTilePixels / tileUnits;
  const auto colourOf = [&](const std::string& day, const std::string& device) {
    const auto colour = drawing.deviceColours.find(device);
    return drawing.byDevice && colour != drawing.deviceColours.end() ? colour->second
                                                                     : YearColour(std::atoi(day.c_str()));
  };
  QPolygonF polygon;
  bool good = true;
  const int level = OverviewLevelFor(zoom);
  if (level >= 0) {
    const int shift = kOverviewZooms[level] - zoom;
    std::vector<std::vector<WorldPoint>> lines;
    good = reader.Overview(
        drawing.folders, level, x << shift, y << shift, ((x + 1) << shift) - 1, ((y + 1) << shift) - 1,
        [&](const std::string& day, const std::string& device, const OverviewTile& tile) {
          if (!Shown(drawing.only, day)) return;
          lines.clear();
          if (!DecodeOverviewTile(tile, &lines)) return;
          painter.setPen(QPen(colourOf(day, device), 1.6));
          for (const std::vector<WorldPoint>& line : lines) {
            polygon.clear();
            for (const WorldPoint& p : line) {
              polygon << QPointF((static_cast<double>(p.x) - left) * scale,
                                 (static_cast<double>(p.y) - top) * scale);
            }
            painter.drawPolyline(polygon);
          }
        },
        &error);
  } else {
    const GeoBounds box = BoxOf(zoom, x, y);
    const auto pixelOf = [&](const ArchivePoint& p) {
      const WorldPoint w = WorldPointOf(LongitudeOf(p), MercatorY(LatitudeOf(p)));
      return QPointF((static_cast<double>(w.x) - left) * scale, (static_cast<double>(w.y) - top) * scale);
    };
    // A step whose two ends lie beyond the same side of the box cannot
    // cross the tile: most of a piece that meets it lies outside, and
    // projecting and drawing those is most of the work.
    const auto away = [&](const ArchivePoint& a, const ArchivePoint& b) {
      const double aLat = LatitudeOf(a), bLat = LatitudeOf(b), aLon = LongitudeOf(a), bLon = LongitudeOf(b);
      return (aLat < box.south && bLat < box.south) || (aLat > box.north && bLat > box.north) ||
             (aLon < box.west && bLon < box.west) || (aLon > box.east && bLon > box.east);
    };
    good = reader.Pieces(
        drawing.folders, box,
        [&](const std::string& day, const std::string& device, const std::vector<ArchivePoint>& line) {
          if (!Shown(drawing.only, day)) return;
          painter.setPen(QPen(colourOf(day, device), 1.6));
          polygon.clear();
          if (line.size() == 1) polygon << pixelOf(line.front());
          for (size_t i = 1; i < line.size(); ++i) {
            if (away(line[i - 1], line[i])) {
              if (!polygon.isEmpty()) painter.drawPolyline(polygon);
              polygon.clear();
              continue;
            }
            if (polygon.isEmpty()) polygon << pixelOf(line[i - 1]);
            polygon << pixelOf(line[i]);
          }
          if (!polygon.isEmpty()) painter.drawPolyline(polygon);
        },
        &error);
  }
  painter.end();
  return good ? image : QImage();
}

void AllDaysMap::Deliver(quint64 key, quint64 generation, const QImage& image) {
  pending_.remove(key);
  // A tile the index could not give is asked for again at the next paint.
  if (image.isNull()) return;
  tiles_.insert(key, new DrawnTile{image, generation}, static_cast<qsizetype>(image.sizeInBytes() / 1024));
  update();
}

bool AllDaysMap::PaintTile(QPainter& painter, int zoom, int64_t x, int64_t y, const QRectF& target) {
  const DrawnTile* tile = tiles_.object(KeyOf(zoom, x, y));
  if (tile != nullptr) {
    if (tile->generation != generation_) Ask(zoom, x, y);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, tile->image);
    return true;
  }
  const bool shown = PaintStandIn(painter, zoom, x, y, target);
  // Nothing stands in: a coarse tile, asked for before the tile itself so
  // a free worker takes it first, shows something of the view soon.
  if (!shown && zoom >= kStandInLevels) {
    Ask(zoom - kStandInLevels, x >> kStandInLevels, y >> kStandInLevels, 1);
  }
  Ask(zoom, x, y);
  return shown;
}

bool AllDaysMap::PaintStandIn(QPainter& painter, int zoom, int64_t x, int64_t y, const QRectF& target) {
  // A coarser tile, scaled up (zooming in), else the finer ones (zooming
  // out); not smoothed: they stand in only until the tile comes, and a
  // smooth scaling of many would cost the frame.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  for (int levels = 1; levels <= kCoarserLevels && levels <= zoom; ++levels) {
    const DrawnTile* coarser = tiles_.object(KeyOf(zoom - levels, x >> levels, y >> levels));
    if (coarser == nullptr) continue;
    const double part = static_cast<double>(kTilePixels >> levels);
    const int64_t mask = (int64_t{1} << levels) - 1;
    painter.drawImage(
        target, coarser->image,
        QRectF(static_cast<double>(x & mask) * part, static_cast<double>(y & mask) * part, part, part));
    return true;
  }
  bool shown = false;
  if (zoom < kFinestTileZoom) {
    for (int i = 0; i < 4; ++i) {
      const DrawnTile* finer = tiles_.object(KeyOf(zoom + 1, x * 2 + (i & 1), y * 2 + (i >> 1)));
      if (finer == nullptr) continue;
      const double half = target.width() / 2.0;
      painter.drawImage(QRectF(target.x() + (i & 1) * half, target.y() + (i >> 1) * half, half, half),
                        finer->image);
      shown = true;
    }
  }
  return shown;
}

void AllDaysMap::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  mapLayer_.Paint(painter, projection_);
  if (index_ == nullptr) return;
  const double zoom = std::log2(projection_.pixelsPerDegreeEast() * 360.0 / 256.0);
  const int tileZoom = TileZoomFor(zoom);
  // World units to pixels is a scale and a shift (Web Mercator both ways).
  double left = 0, top = 0, right = 0, bottom = 0;
  projection_.MercatorToPixel(kPi, -180.0, &left, &top);
  projection_.MercatorToPixel(-kPi, 180.0, &right, &bottom);
  const double tilePixels = (right - left) / static_cast<double>(int64_t{1} << tileZoom);
  if (!(tilePixels > 0.0) || !std::isfinite(left) || !std::isfinite(top)) return;
  const double units = static_cast<double>(kWorldUnits);
  const auto unitsAt = [&](double pixel, double origin) { return (pixel - origin) / (right - left) * units; };
  const int64_t west = TileOf(unitsAt(0, left), tileZoom), east = TileOf(unitsAt(width(), left), tileZoom);
  const int64_t north = TileOf(unitsAt(0, top), tileZoom), south = TileOf(unitsAt(height(), top), tileZoom);
  {
    std::lock_guard<std::mutex> lock(wantedMutex_);
    wanted_.clear();
    for (int64_t y = north; y <= south; ++y) {
      for (int64_t x = west; x <= east; ++x) {
        wanted_.insert(KeyOf(tileZoom, x, y));
        if (tileZoom >= kStandInLevels) {
          wanted_.insert(KeyOf(tileZoom - kStandInLevels, x >> kStandInLevels, y >> kStandInLevels));
        }
      }
    }
  }
  blank_ = 0;
  for (int64_t y = north; y <= south; ++y) {
    for (int64_t x = west; x <= east; ++x) {
      blank_ += !PaintTile(painter, tileZoom, x, y,
                           QRectF(left + static_cast<double>(x) * tilePixels,
                                  top + static_cast<double>(y) * tilePixels, tilePixels, tilePixels));
    }
  }
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
