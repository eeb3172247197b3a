// pathmere-all-days-bench: how long "All days" takes to show an archive
// index already on disk and to repaint its map while it is panned and
// zoomed, and the memory that costs.
//
//   pathmere-all-days-bench --index FILE --days DIR [--pans N]
//
// A cold start: a new map opens the index (its own connection, as the
// window's), reads the days' bounds and fits them all into the map's part of
// the window's default size. First with no stored pictures (the folder
// beside the index removed): the first paint is timed until something shows
// of every tile in view (a coarser one standing in at least), and until all
// are drawn; then again from the pictures that run stored. Then at every zoom from the fitted one to 17,
// about home (where every day passes): the time until the tiles of the new zoom are drawn, and the mean and
// worst repaint while panning and while zooming by a wheel notch in and out (what the user waits for a frame;
// tiles not drawn yet show a coarser one, scaled, until the worker has drawn them). Peak memory is the
// process's. Exits 1 when a target is missed.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QThread>
#include <QWheelEvent>

#include "archive/archive_index.h"
#include "support/generated_archive.h"
#include "ui/all_days_map.h"

namespace {

namespace fs = std::filesystem;
using namespace pathmere;
using Clock = std::chrono::steady_clock;

// The map's part of the window's default 1000 x 680 (the rest is the side
// panel).
constexpr int kMapWidth = 620;
constexpr int kMapHeight = 660;
constexpr double kRepaintTargetMs = 16.0;
constexpr double kFirstPaintTargetMs = 300.0;
constexpr long kMemoryTargetKiB = 200 * 1024;
constexpr int kLastZoom = 17;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One paint of the map, timed.
double Paint(AllDaysMap& map, QImage& image) {
  const Clock::time_point start = Clock::now();
  map.render(&image);
  return MillisecondsSince(start);
}

// Paints until every tile in view is drawn.
void Settle(AllDaysMap& map, QImage& image) {
  map.render(&image);
  while (map.drawing()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
    if (!map.drawing()) map.render(&image);
  }
}

double ZoomOf(const AllDaysMap& map) {
  return std::log2(map.projection().pixelsPerDegreeEast() * 360.0 / 256.0);
}

struct Times {
  double sum = 0.0;
  double worst = 0.0;
  int count = 0;
  void Add(double ms) {
    sum += ms;
    worst = std::max(worst, ms);
    ++count;
  }
  double mean() const { return count > 0 ? sum / count : 0.0; }
};

}  // namespace

int main(int argc, char** argv) {
  const char* indexFile = nullptr;
  const char* daysDir = nullptr;
  int pans = 40;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--index") == 0) indexFile = argv[i + 1];
    if (std::strcmp(argv[i], "--days") == 0) daysDir = argv[i + 1];
    if (std::strcmp(argv[i], "--pans") == 0) pans = std::max(1, std::atoi(argv[i + 1]));
  }
  if (indexFile == nullptr || daysDir == nullptr) {
    std::fprintf(stderr, "usage: pathmere-all-days-bench --index FILE --days DIR [--pans N]\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);

  std::error_code ignored;
  fs::remove_all(fs::path(indexFile).parent_path() / "all-days-pictures", ignored);
  const std::vector<ArchiveFolder> folders = ArchiveFoldersOf(daysDir);
  QImage image(kMapWidth, kMapHeight, QImage::Format_ARGB32_Premultiplied);
  std::unique_ptr<ArchiveIndex> index;
  std::unique_ptr<AllDaysMap> opened;
  size_t dayCount = 0;
  uint64_t points = 0;
  bool missed = false;
  // Opens the index and the map, all of it fitted; the time until something
  // shows of every tile and until all are drawn.
  const auto open = [&](const char* what) {
    opened.reset();
    index.reset();
    const Clock::time_point start = Clock::now();
    std::string note, error;
    index = ArchiveIndex::Open(indexFile, false, &note, &error);
    std::vector<ArchiveDay> days;
    if (index == nullptr || !index->Days(folders, &days, &error)) {
      std::fprintf(stderr, "pathmere-all-days-bench: %s\n", error.c_str());
      std::exit(2);
    }
    GeoBounds bounds;
    points = 0;
    for (const ArchiveDay& day : days) {
      if (!day.bounds.empty) bounds.Include(day.bounds);
      points += day.summary.points;
    }
    dayCount = days.size();
    opened = std::make_unique<AllDaysMap>();
    opened->resize(kMapWidth, kMapHeight);
    opened->SetIndex(index.get(), folders);
    opened->Fit(bounds);
    opened->render(&image);
    while (!opened->showedEveryTile()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      QThread::msleep(1);
      opened->render(&image);
    }
    const double shown = MillisecondsSince(start);
    Settle(*opened, image);
    const double drawn = MillisecondsSince(start);
    std::printf("first paint, %s: %.0f ms (target: within %.0f ms); all tiles drawn: %.0f ms\n", what, shown,
                kFirstPaintTargetMs, drawn);
    if (shown > kFirstPaintTargetMs) missed = true;
  };
  open("nothing cached");
  open("pictures cached");
  AllDaysMap& map = *opened;
  const double fitted = ZoomOf(map);
  std::printf("%zu days, %llu points; map %d x %d, fitted at zoom %.1f\n", dayCount,
              static_cast<unsigned long long>(points), kMapWidth, kMapHeight, fitted);

  // About home: every day passes it, so its tiles are the fullest. The
  // map is moved as the user moves it, by wheel notches and drags.
  const auto home = [&] {
    QPointF at;
    map.projection().ToPixel(testing::kArchivePlaces[0].latitude, testing::kArchivePlaces[0].longitude,
                             &at.rx(), &at.ry());
    return at;
  };
  const auto notch = [&](int notches) {
    const QPointF at = home();
    QWheelEvent wheel(at, at, QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&map, &wheel);
  };
  const auto mouse = [&](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, at, Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&map, &event);
  };
  for (int zoom = static_cast<int>(std::floor(fitted)); zoom <= kLastZoom; ++zoom) {
    while (ZoomOf(map) < zoom) notch(1);
    // Home in the middle, by a drag.
    QPointF at = home();
    mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPointF(kMapWidth / 2.0, kMapHeight / 2.0), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, QPointF(kMapWidth / 2.0, kMapHeight / 2.0), Qt::NoButton);
    const Clock::time_point settling = Clock::now();
    Settle(map, image);
    const double drawn = MillisecondsSince(settling);
    Times pan, wheel;
    // A drag in steps of 24 pixels, out and back, so new tiles come in.
    at = QPointF(kMapWidth / 2.0, kMapHeight / 2.0);
    mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    for (int i = 0; i < pans; ++i) {
      const double step = (i / 10) % 2 == 0 ? 24.0 : -24.0;
      at += QPointF(step, step / 2.0);
      mouse(QEvent::MouseMove, at, Qt::LeftButton);
      pan.Add(Paint(map, image));
      QCoreApplication::processEvents();
    }
    mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
    Settle(map, image);
    for (int i = 0; i < pans; ++i) {
      notch(i % 2 == 0 ? 1 : -1);
      wheel.Add(Paint(map, image));
      QCoreApplication::processEvents();
    }
    Settle(map, image);
    std::printf(
        "zoom %4.1f: tiles drawn %6.0f ms; pan repaint mean %5.2f ms, worst %5.2f ms; wheel repaint mean "
        "%5.2f "
        "ms, worst %5.2f ms (target: each within %.0f ms)\n",
        ZoomOf(map), drawn, pan.mean(), pan.worst, wheel.mean(), wheel.worst, kRepaintTargetMs);
    if (pan.worst > kRepaintTargetMs || wheel.worst > kRepaintTargetMs) missed = true;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak RSS: %ld KiB (target: at most %ld KiB)\n", usage.ru_maxrss, kMemoryTargetKiB);
  if (usage.ru_maxrss > kMemoryTargetKiB) missed = true;
  // What of it is the process's own and what is files mapped (SQLite maps
  // the index, and the pages read stay counted while mapped).
  std::ifstream status("/proc/self/status");
  std::string line, own, mapped;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0) own = line.substr(8);
    if (line.rfind("RssFile:", 0) == 0) mapped = line.substr(8);
  }
  if (!own.empty()) {
    own.erase(0, own.find_first_not_of(" \t"));
    mapped.erase(0, mapped.find_first_not_of(" \t"));
    std::printf("  now: %s own, %s of files mapped (the index, the libraries)\n", own.c_str(),
                mapped.c_str());
  }
  if (missed) std::printf("MISSED: a target above\n");
  return missed ? 1 : 0;
}
