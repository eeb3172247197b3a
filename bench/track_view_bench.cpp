// pathmere-track-view-bench: how long the track view takes to show a day of
// a replay's output folder and to repaint it while it is panned and zoomed.
//
//   pathmere-track-view-bench --folder DIR [--repaints N] [--map SCRATCH] [--server SCRATCH]
//
// With --map, each day is drawn over a map: an MBTiles file generated in
// SCRATCH with a tile of noise for every tile the views show (so each
// decodes as a real map tile would), read through the view's map layer
// with a cold cache at the first paint. With --server, over the same tiles
// from a tile server on 127.0.0.1 (the tests' own) through the tile cache
// in SCRATCH, measured once the cache holds them (a second opening of the
// view): what panning a map already seen costs.
//
// For every day with files in DIR, and for all of DIR's track files as one
// day (the worst case: every point of the replay in one picture), prints the
// points, the time to first paint (reading the files, fitting, painting map
// and profile) and the mean and worst time of a repaint of the map (all a
// pan repaints) while panning at the
// fitted scale and while panning zoomed in eight times. Paints into an
// image of the view's default size with the raster engine the window uses.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sqlite3.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include "app/day_track_feed.h"
#include "app/tile_grid.h"
#include "app/track_projection.h"
#include "platform/file_system_posix.h"
#include "support/tile_server.h"
#include "ui/map/map_layer.h"
#include "ui/map/online_tile_source.h"
#include "ui/track_painter.h"

namespace {

namespace fs = std::filesystem;
using namespace pathmere;
using Clock = std::chrono::steady_clock;

constexpr int kMapWidth = 780;
constexpr int kMapHeight = 450;
constexpr int kProfileHeight = 110;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Painting {
  QImage map{kMapWidth, kMapHeight, QImage::Format_RGB32};
  QImage profile{kMapWidth, kProfileHeight, QImage::Format_RGB32};
  TrackPaintScratch scratch;
  MapLayer layer;

  // What a pan or a zoom repaints: the map widget alone (the profile is a
  // widget of its own that only a new point or another day repaints).
  void PaintMap(const DayTrack& track, const TrackProjection& projection) {
    QPainter painter(&map);
    PaintTrackMap(painter, map.rect(), track, projection, LivePosition{}, QStringLiteral("bench"), scratch,
                  [&](QPainter& under) { layer.Paint(under, projection); });
  }
  void Paint(const DayTrack& track, const TrackProjection& projection) {
    PaintMap(track, projection);
    QPainter painter(&profile);
    PaintProfile(painter, profile.rect(), track);
  }
};

// Mean and worst of `repaints` repaints, each after a pan of a few pixels.
void Repaints(const DayTrack& track, TrackProjection projection, Painting& painting, int repaints,
              double* mean, double* worst) {
  double total = 0.0;
  *worst = 0.0;
  for (int i = 0; i < repaints; ++i) {
    projection.PanBy(i % 40 < 20 ? 4.0 : -4.0, i % 20 < 10 ? 3.0 : -3.0);
    const Clock::time_point start = Clock::now();
    painting.PaintMap(track, projection);
    const double ms = MillisecondsSince(start);
    total += ms;
    *worst = std::max(*worst, ms);
  }
  *mean = total / repaints;
}

// Noise compresses as badly as a real map's tile: 256 x 256 PNG of 30-60 KB.
QByteArray NoiseTile() {
  QImage image(256, 256, QImage::Format_RGB32);
  QRandomGenerator random(7);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x)
      image.setPixel(x, y, 0xff000000u | (random.generate() & 0x3f3f3fu) | 0xc0c0c0u);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

// An MBTiles file with a tile for every tile the fitted and the zoomed view
// show, one tile's width around them for the pans.
bool MakeMap(const fs::path& path, const TrackProjection& fitted) {
  fs::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  sqlite3_exec(db,
               "CREATE TABLE metadata (name text, value text); CREATE TABLE tiles (zoom_level integer, "
               "tile_column integer, tile_row integer, tile_data blob); INSERT INTO metadata VALUES "
               "('attribution', 'bench tiles'); BEGIN",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
  const QByteArray tile = NoiseTile();
  TrackProjection zoomed = fitted;
  zoomed.ZoomAbout(kMapWidth / 2.0, kMapHeight / 2.0, 8.0);
  for (const TrackProjection* view : {&fitted, static_cast<const TrackProjection*>(&zoomed)}) {
    const int zoom = TileZoomFor(*view, 256, 0, 19);
    double north = 0.0, west = 0.0, south = 0.0, east = 0.0;
    view->FromPixel(-256, -256, &north, &west);
    view->FromPixel(kMapWidth + 256, kMapHeight + 256, &south, &east);
    const TileKey first = TileAt(north, west, zoom);
    const TileKey last = TileAt(south, east, zoom);
    for (int y = first.y; y <= last.y; ++y) {
      for (int x = first.x; x <= last.x; ++x) {
        sqlite3_bind_int(insert, 1, zoom);
        sqlite3_bind_int(insert, 2, x);
        sqlite3_bind_int(insert, 3, (1 << zoom) - 1 - y);
        sqlite3_bind_blob(insert, 4, tile.constData(), static_cast<int>(tile.size()), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
      }
    }
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return true;
}

std::unique_ptr<TileSource> ServerSource(const pathmere::testing::TileServer& server) {
  MapSourceFile file;
  file.name = QStringLiteral("bench");
  file.urlTemplate = QString::fromStdString(server.address()) + QStringLiteral("/{z}/{x}/{y}.png");
  return std::make_unique<OnlineTileSource>(file);
}

void Measure(FileSystem& files, const std::wstring& folder, LocalDate day, const char* legend, int repaints,
             int fontBand, const char* mapScratch, const pathmere::testing::TileServer* server) {
  Painting painting;
  if (server != nullptr) {
    // Fills the cache: the view as first opened, fitted and zoomed in.
    DayTrackFeed bounds(files, folder, day);
    bounds.Update({});
    TrackProjection fitted;
    fitted.SetViewport(kMapWidth, kMapHeight);
    fitted.Fit(bounds.track().bounds(), fontBand);
    MapLayer warm;
    warm.SetSource(ServerSource(*server));
    for (int zoomed = 0; zoomed < 2; ++zoomed) {
      for (int pans = 0; pans < 3; ++pans) {
        QImage image(kMapWidth, kMapHeight, QImage::Format_RGB32);
        QPainter painter(&image);
        warm.Paint(painter, fitted);
        while (warm.loading()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        fitted.PanBy(pans == 0 ? 100.0 : -200.0, 0.0);
      }
      fitted.PanBy(100.0, 0.0);
      fitted.ZoomAbout(kMapWidth / 2.0, kMapHeight / 2.0, 8.0);
    }
    painting.layer.SetSource(ServerSource(*server));
  }
  if (mapScratch != nullptr) {
    DayTrackFeed bounds(files, folder, day);
    bounds.Update({});
    TrackProjection fitted;
    fitted.SetViewport(kMapWidth, kMapHeight);
    fitted.Fit(bounds.track().bounds(), fontBand);
    const fs::path path = fs::path(mapScratch) / "bench.mbtiles";
    QString problem;
    if (MakeMap(path, fitted))
      painting.layer.SetSource(OpenMapFile(QString::fromStdString(path.string()), &problem));
  }
  const Clock::time_point start = Clock::now();
  DayTrackFeed feed(files, folder, day);
  feed.Update({});
  const double read = MillisecondsSince(start);
  TrackProjection projection;
  projection.SetViewport(kMapWidth, kMapHeight);
  projection.Fit(feed.track().bounds(), fontBand);
  painting.Paint(feed.track(), projection);
  const double first = MillisecondsSince(start);
  // Tiles are read and decoded in the background; the view repaints as
  // they come. Until all have come and are drawn:
  while (painting.layer.loading()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!painting.layer.loading()) painting.PaintMap(feed.track(), projection);
  }
  const double tiles = MillisecondsSince(start);
  double fittedMean = 0.0;
  double fittedWorst = 0.0;
  Repaints(feed.track(), projection, painting, repaints, &fittedMean, &fittedWorst);
  projection.ZoomAbout(kMapWidth / 2.0, kMapHeight / 2.0, 8.0);
  double zoomedMean = 0.0;
  double zoomedWorst = 0.0;
  Repaints(feed.track(), projection, painting, repaints, &zoomedMean, &zoomedWorst);
  std::printf("%-22s %8zu %6zu %9.1f %9.1f %9.1f %8.2f %8.2f %8.2f %8.2f\n", legend,
              feed.track().points().size(), painting.scratch.trackLine.lines().points.size(), read, first,
              tiles, fittedMean, fittedWorst, zoomedMean, zoomedWorst);
}

}  // namespace

int main(int argc, char** argv) {
  const char* folder = nullptr;
  int repaints = 100;
  const char* mapScratch = nullptr;
  const char* serverScratch = nullptr;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--server") == 0) serverScratch = argv[i + 1];
    if (std::strcmp(argv[i], "--folder") == 0) folder = argv[i + 1];
    if (std::strcmp(argv[i], "--repaints") == 0) repaints = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--map") == 0) mapScratch = argv[i + 1];
  }
  if (folder == nullptr) {
    std::fprintf(stderr,
                 "usage: pathmere-track-view-bench --folder DIR [--repaints N] [--map SCRATCH] [--server "
                 "SCRATCH]\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::unique_ptr<pathmere::testing::TileServer> server;
  if (serverScratch != nullptr) {
    const fs::path cache = fs::path(serverScratch) / "tile-cache";
    fs::remove_all(cache);
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    const QByteArray tile = NoiseTile();
    server = std::make_unique<pathmere::testing::TileServer>(
        [tile](const pathmere::testing::TileServer::Request&) {
          pathmere::testing::TileServer::Reply reply;
          reply.body = tile.toStdString();
          reply.headers = {{"Content-Type", "image/png"}, {"Cache-Control", "max-age=86400"}};
          return reply;
        });
  }
  int fontBand = 0;
  {
    QImage probe(1, 1, QImage::Format_RGB32);
    fontBand = FactsBandHeight(QPainter(&probe).font());
  }

  PosixFileSystem files(folder);
  const std::vector<LocalDate> days = DaysWithFiles(files, L"");
  if (days.empty()) {
    std::fprintf(stderr, "pathmere-track-view-bench: no day files in %s\n", folder);
    return 2;
  }
  std::printf("%-22s %8s %6s %9s %9s %9s %8s %8s %8s %8s\n", "day", "points", "drawn", "read ms", "first ms",
              "tiles ms", "pan ms", "worst", "zoom ms", "worst");
  for (const LocalDate& day : days) {
    char legend[32];
    std::snprintf(legend, sizeof legend, "%04d-%02d-%02d", static_cast<int>(day.year),
                  static_cast<int>(day.month), static_cast<int>(day.day));
    Measure(files, L"", day, legend, repaints, fontBand, mapScratch, server.get());
  }

  // Every track point of the folder in one day's file.
  const fs::path all = fs::path(folder) / "all-in-one-day";
  fs::create_directories(all);
  {
    std::ofstream out(all / "2000-01-01.plt", std::ios::binary | std::ios::trunc);
    for (const LocalDate& day : days) {
      char name[32];
      std::snprintf(name, sizeof name, "%04d-%02d-%02d.plt", static_cast<int>(day.year),
                    static_cast<int>(day.month), static_cast<int>(day.day));
      std::ifstream in(fs::path(folder) / name, std::ios::binary);
      out << in.rdbuf();
    }
  }
  Measure(files, L"\\all-in-one-day", {2000, 1, 1}, "all days as one", repaints, fontBand, mapScratch,
          server.get());
  fs::remove_all(all);
  return 0;
}
