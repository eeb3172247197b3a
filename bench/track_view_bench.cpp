// pathmere-track-view-bench: how long the track view takes to show a day of
// a replay's output folder and to repaint it while it is panned and zoomed.
//
//   pathmere-track-view-bench --folder DIR [--repaints N]
//
// For every day with files in DIR, and for all of DIR's track files as one
// day (the worst case: every point of the replay in one picture), prints the
// points, the time to first paint (reading the files, fitting, painting map
// and profile) and the mean and worst time of a repaint while panning at the
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

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "app/day_track_feed.h"
#include "app/track_projection.h"
#include "platform/file_system_posix.h"
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

  void Paint(const DayTrack& track, const TrackProjection& projection) {
    {
      QPainter painter(&map);
      PaintTrackMap(painter, map.rect(), track, projection, LivePosition{}, QStringLiteral("bench"), scratch);
    }
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
    painting.Paint(track, projection);
    const double ms = MillisecondsSince(start);
    total += ms;
    *worst = std::max(*worst, ms);
  }
  *mean = total / repaints;
}

void Measure(FileSystem& files, const std::wstring& folder, LocalDate day, const char* legend, int repaints,
             int fontBand) {
  Painting painting;
  const Clock::time_point start = Clock::now();
  DayTrackFeed feed(files, folder, day);
  feed.Update({});
  const double read = MillisecondsSince(start);
  TrackProjection projection;
  projection.SetViewport(kMapWidth, kMapHeight);
  projection.Fit(feed.track().bounds(), fontBand);
  painting.Paint(feed.track(), projection);
  const double first = MillisecondsSince(start);
  double fittedMean = 0.0;
  double fittedWorst = 0.0;
  Repaints(feed.track(), projection, painting, repaints, &fittedMean, &fittedWorst);
  projection.ZoomAbout(kMapWidth / 2.0, kMapHeight / 2.0, 8.0);
  double zoomedMean = 0.0;
  double zoomedWorst = 0.0;
  Repaints(feed.track(), projection, painting, repaints, &zoomedMean, &zoomedWorst);
  std::printf("%-22s %8zu %6zu %9.1f %9.1f %8.2f %8.2f %8.2f %8.2f\n", legend, feed.track().points().size(),
              painting.scratch.lines.points.size(), read, first, fittedMean, fittedWorst, zoomedMean,
              zoomedWorst);
}

}  // namespace

int main(int argc, char** argv) {
  const char* folder = nullptr;
  int repaints = 100;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--folder") == 0) folder = argv[i + 1];
    if (std::strcmp(argv[i], "--repaints") == 0) repaints = std::max(1, std::atoi(argv[i + 1]));
  }
  if (folder == nullptr) {
    std::fprintf(stderr, "usage: pathmere-track-view-bench --folder DIR [--repaints N]\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
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
  std::printf("%-22s %8s %6s %9s %9s %8s %8s %8s %8s\n", "day", "points", "drawn", "read ms", "first ms",
              "pan ms", "worst", "zoom ms", "worst");
  for (const LocalDate& day : days) {
    char legend[32];
    std::snprintf(legend, sizeof legend, "%04d-%02d-%02d", static_cast<int>(day.year),
                  static_cast<int>(day.month), static_cast<int>(day.day));
    Measure(files, L"", day, legend, repaints, fontBand);
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
  Measure(files, L"\\all-in-one-day", {2000, 1, 1}, "all days as one", repaints, fontBand);
  fs::remove_all(all);
  return 0;
}
