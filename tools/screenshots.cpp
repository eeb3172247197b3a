// pathmere-screenshots: the pictures in docs/, taken of the real windows
// after a replay, in a device root and configuration of their own.
//
//   pathmere-screenshots --log FILE --out DIR
//
// Writes DIR/screenshot.png (the main window beside the track view of the
// writers' last day) and DIR/track-YYYY-MM-DD.png for every day the track
// view's buttons reach. With --map, also DIR/track-map.png: the writers'
// last day over a map made up here (an MBTiles file of made-up land, water
// and roads, so no map data of anyone else is in the picture). Run under
// Xvfb by scripts/screenshots.sh.
//
//   pathmere-screenshots --all-days --out DIR [--days FOLDER [--index FILE]]
//
// Writes "All days" over the day files of FOLDER (a generated archive, as
// pathmere-archive-gen writes; without it, 240 generated days of
// tests/support/generated_archive.h) and the made-up map:
// DIR/all-days.png (every day), all-days-city.png (about zoom 11),
// all-days-here.png (the days that passed a place, after a click),
// all-days-street.png (about zoom 15) and all-days-opened.png (the first of
// those days opened from the list in the track view). With --index, the
// index of FOLDER made before (a copy is brought up to date), else it is
// made here.
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>

#include <sqlite3.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QWheelEvent>

#include "platform/file_system_posix.h"
#include "platform/settings_store_file.h"
#include "platform/tick_clock.h"
#include "settings/settings_operations.h"
#include "support/generated_archive.h"
#include "ui/all_days_map.h"
#include "ui/all_days_view.h"
#include "ui/desktop_program.h"
#include "ui/main_window.h"
#include "ui/map/map_choice.h"
#include "ui/track_map.h"
#include "ui/track_view.h"

namespace {

namespace fs = std::filesystem;
using namespace pathmere;

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

QString DayName(LocalDate day) {
  return QString::asprintf("track-%04d-%02d-%02d.png", static_cast<int>(day.year),
                           static_cast<int>(day.month), static_cast<int>(day.day));
}

// A made-up map: land, lakes and woods from smooth waves and a grid of
// roads every two kilometres, the same wherever a tile ends and at every zoom.
QByteArray MadeUpTile(const TileKey& key) {
  QImage image(256, 256, QImage::Format_RGB32);
  const double world = 256.0 * std::ldexp(1.0, key.zoom);
  const double kmPerWorld = 40075.0 * std::cos(0.9);  // about 51 degrees north
  for (int py = 0; py < 256; ++py) {
    for (int px = 0; px < 256; ++px) {
      const double u = (key.x * 256.0 + px) / world * kmPerWorld;
      const double v = (key.y * 256.0 + py) / world * kmPerWorld;
      const double wave = std::sin(u * 1.3) + std::sin(v * 1.1) + std::sin((u + v) * 0.7);
      QRgb colour = qRgb(242, 239, 233);
      if (wave > 1.9) colour = qRgb(170, 211, 223);
      if (wave < -1.8) colour = qRgb(200, 225, 190);
      // Roads: within a pixel and a half of a grid line.
      const double pixelsPerRoad = 2.0 / kmPerWorld * world;
      const double du = std::abs(u / 2.0 - std::round(u / 2.0)) * pixelsPerRoad;
      const double dv = std::abs(v / 2.0 - std::round(v / 2.0)) * pixelsPerRoad;
      if (std::min(du, dv) < 2.5) colour = qRgb(205, 200, 190);
      if (std::min(du, dv) < 1.5) colour = qRgb(255, 255, 255);
      image.setPixel(px, py, colour);
    }
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

// The made-up map's tiles over `view` at its zoom and two finer.
bool MakeMap(const fs::path& path, const TrackProjection& view) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  sqlite3_exec(db,
               "CREATE TABLE metadata (name text, value text); CREATE TABLE tiles (zoom_level integer, "
               "tile_column integer, tile_row integer, tile_data blob); INSERT INTO metadata VALUES "
               "('name', 'Made-up map'), ('attribution', 'Made-up map, no real places'); BEGIN",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
  const int zoom = TileZoomFor(view, 256, 0, 19);
  for (int finer = 0; finer <= 2; ++finer) {
    for (const TilePlacement& tile : VisibleTiles(view, zoom + finer)) {
      const QByteArray png = MadeUpTile(tile.key);
      sqlite3_bind_int(insert, 1, tile.key.zoom);
      sqlite3_bind_int(insert, 2, tile.key.x);
      sqlite3_bind_int(insert, 3, (1 << tile.key.zoom) - 1 - tile.key.y);
      sqlite3_bind_blob(insert, 4, png.constData(), static_cast<int>(png.size()), SQLITE_TRANSIENT);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return true;
}

}  // namespace

// The made-up map's tiles wait in the background; the picture waits for them.
void WaitForTiles(QWidget& widget, MapLayer& layer) {
  QElapsedTimer waited;
  waited.start();
  do {
    widget.grab();
    Settle();
  } while (layer.loading() && waited.elapsed() < 10000);
  Settle();
}

// Paints `map` until every tile of lines in view is drawn, and the map's
// tiles have come.
void WaitForLines(AllDaysMap& map) {
  QElapsedTimer waited;
  waited.start();
  WaitForTiles(map, map.mapLayer());
  do {
    map.grab();
    Settle();
  } while (map.drawing() && waited.elapsed() < 120000);
  Settle();
}

// Zooms `map` by wheel notches about the place until the view is at
// `zoom` (in or out), then drags the place to the middle, as the user would.
void ZoomTo(AllDaysMap& map, double zoom, double latitude, double longitude) {
  const auto at = [&] {
    QPointF pixel;
    map.projection().ToPixel(latitude, longitude, &pixel.rx(), &pixel.ry());
    return pixel;
  };
  const auto zoomOf = [&] { return std::log2(map.projection().pixelsPerDegreeEast() * 360.0 / 256.0); };
  const auto notch = [&](int notches) {
    QWheelEvent wheel(at(), at(), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&map, &wheel);
  };
  while (zoomOf() < zoom) notch(1);
  while (zoomOf() > zoom + 0.3) notch(-1);
  const QPointF middle(map.width() / 2.0, map.height() / 2.0);
  for (const auto& [type, where, buttons] :
       {std::tuple{QEvent::MouseButtonPress, at(), Qt::MouseButtons(Qt::LeftButton)},
        std::tuple{QEvent::MouseMove, middle, Qt::MouseButtons(Qt::LeftButton)},
        std::tuple{QEvent::MouseButtonRelease, middle, Qt::MouseButtons(Qt::NoButton)}}) {
    QMouseEvent event(type, where, where, Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&map, &event);
  }
}

// A made-up map for what `map` shows now, chosen in its window.
// (Each in a folder of its own, all of the same name, as the map list shows it.)
bool ShowMadeUpMap(const fs::path& folder, AllDaysView& view) {
  fs::create_directories(folder);
  const fs::path file = folder / "made-up-map.mbtiles";
  if (!MakeMap(file, view.map()->projection()) ||
      !view.mapChoice()->Choose(QString::fromStdString(file.string()))) {
    std::fprintf(stderr, "pathmere-screenshots: the map was not made\n");
    return false;
  }
  WaitForLines(*view.map());
  return true;
}

bool Save(QWidget& widget, const QString& file) {
  Settle();
  const bool saved = widget.grab().save(file);
  std::printf("%s\n", qPrintable(file));
  return saved;
}

// "All days" over the days of `days` (a generated archive; none: two years
// generated here) at three scales, the days that passed a place, and one of
// them opened in the track view.
int AllDaysPicture(const fs::path& home, const QString& folder, const char* days, const char* index) {
  PosixFileSystem files(home.string());
  MonotonicTickClock clock;
  FileSettingsStore store;
  SaveOutputDir(store, L"\\Pathmere");
  if (days != nullptr) {
    fs::create_directory_symlink(fs::absolute(days), home / "Pathmere");
  } else {
    testing::WriteGeneratedArchive(home / "Pathmere", testing::DayNumberOfCivil(2024, 1, 1), 240, 2000, 3);
  }
  setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
  // An index of those days made before (the benchmark's): only checked.
  if (index != nullptr) {
    fs::create_directories(DefaultArchiveIndexFile().parent_path());
    fs::copy_file(index, DefaultArchiveIndexFile());
  }
  MainWindow window(files, clock, store, nullptr, MainWindowOptions{QSize(420, 330)});
  window.show();
  window.tickTimer()->stop();
  window.Tick();
  window.ShowAllDays();
  AllDaysView& view = *window.allDaysView();
  QElapsedTimer waited;
  waited.start();
  while (!view.indexed() && waited.elapsed() < 600000) Settle();
  Settle();
  AllDaysMap& map = *view.map();
  const testing::ArchivePlace home0 = testing::kArchivePlaces[0];
  const testing::ArchivePlace place = testing::kArchivePlaces[1];
  bool good = ShowMadeUpMap(home / "whole", view) && Save(view, folder + "/all-days.png");
  ZoomTo(map, 11.0, home0.latitude, home0.longitude);
  good = good && ShowMadeUpMap(home / "city", view) && Save(view, folder + "/all-days-city.png");
  // A click on a place: the days that passed there.
  QPointF at;
  map.projection().ToPixel(place.latitude, place.longitude, &at.rx(), &at.ry());
  for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent click(type, at, at, Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::MouseButtons(Qt::LeftButton) : Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&map, &click);
  }
  WaitForLines(map);
  good = good && Save(view, folder + "/all-days-here.png");
  ZoomTo(map, 15.0, place.latitude, place.longitude);
  good = good && ShowMadeUpMap(home / "street", view) && Save(view, folder + "/all-days-street.png");
  // The first of the days listed, opened by a double click.
  if (view.daysHere()->count() > 0) {
    emit view.daysHere()->itemDoubleClicked(view.daysHere()->item(0));
    Settle();
  }
  TrackView* track = window.trackView();
  if (track != nullptr) {
    track->resize(760, 560);
    Settle();
    fs::create_directories(home / "track");
    const fs::path file = home / "track" / "made-up-map.mbtiles";
    good = good && MakeMap(file, track->map()->projection()) &&
           track->mapChoice()->Choose(QString::fromStdString(file.string()));
    WaitForTiles(*track->map(), track->map()->mapLayer());
    good = good && Save(*track, folder + "/all-days-opened.png");
    track->mapChoice()->ChooseNoMap();
  } else {
    good = false;
  }
  view.mapChoice()->ChooseNoMap();
  window.close();
  return good ? 0 : 1;
}

int main(int argc, char** argv) {
  const char* log = nullptr;
  const char* out = nullptr;
  bool withMap = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--map") == 0) withMap = true;
  }
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--map") == 0) --i;
    if (std::strcmp(argv[i], "--log") == 0) log = argv[i + 1];
    if (std::strcmp(argv[i], "--out") == 0) out = argv[i + 1];
  }
  bool allDays = false;
  const char* days = nullptr;
  const char* index = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--all-days") == 0) allDays = true;
  }
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--out") == 0) out = argv[i + 1];
    if (std::strcmp(argv[i], "--days") == 0) days = argv[i + 1];
    if (std::strcmp(argv[i], "--index") == 0) index = argv[i + 1];
  }
  if ((log == nullptr && !allDays) || out == nullptr) {
    std::fprintf(stderr,
                 "usage: pathmere-screenshots --log FILE --out DIR | --all-days --out DIR [--days FOLDER "
                 "[--index FILE]]\n");
    return 2;
  }
  const fs::path home = fs::temp_directory_path() / ("pathmere-screenshots-" + std::to_string(getpid()));
  fs::create_directories(home / "config");
  setenv("PATHMERE_ROOT", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);

  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  SetApplicationIdentity();
  QApplication::setQuitOnLastWindowClosed(false);
  PosixFileSystem files(home.string());
  MonotonicTickClock clock;
  FileSettingsStore store;
  SaveOutputDir(store, L"\\Pathmere");
  int status = 0;
  if (allDays) {
    status = AllDaysPicture(home, QString::fromLocal8Bit(out), days, index);
    fs::remove_all(home);
    return status;
  }
  {
    MainWindow window(files, clock, store, nullptr, MainWindowOptions{QSize(420, 330)});
    window.move(0, 0);
    window.show();
    Settle();
    // Ticked by hand: a replay at one tick a second would take minutes.
    window.tickTimer()->stop();
    window.Tick();
    if (!window.program().ReplayFile(log)) {
      std::fprintf(stderr, "pathmere-screenshots: cannot replay %s\n", log);
      return 1;
    }
    for (int i = 0; i < 100000 && window.program().IsReplaying(); ++i) window.Tick();
    window.program().FlushWriters();
    window.ShowTrack();
    TrackView& view = *window.trackView();
    view.resize(760, 560);
    view.move(window.frameGeometry().right() + 8, 0);
    Settle();

    const QImage main = window.grab().toImage();
    const QImage track = view.grab().toImage();
    QImage both(main.width() + 12 + track.width(), std::max(main.height(), track.height()),
                QImage::Format_RGB32);
    both.fill(QColor(60, 63, 65));
    {
      QPainter painter(&both);
      painter.drawImage(0, 0, main);
      painter.drawImage(main.width() + 12, 0, track);
    }
    const QString folder = QString::fromLocal8Bit(out);
    if (!both.save(folder + "/screenshot.png")) status = 1;

    if (withMap) {
      const fs::path map = home / "made-up.mbtiles";
      if (!MakeMap(map, view.map()->projection()) ||
          !view.mapChoice()->Choose(QString::fromStdString(map.string()))) {
        std::fprintf(stderr, "pathmere-screenshots: the map was not made\n");
        status = 1;
      }
      // The tiles come in the background.
      WaitForTiles(*view.map(), view.map()->mapLayer());
      // Taken off the X server where ImageMagick's import is there: the real
      // window as the screen shows it.
      const QString picture = folder + "/track-map.png";
      const QString import = QStandardPaths::findExecutable(QStringLiteral("import"));
      view.raise();
      Settle();
      if (import.isEmpty() || QProcess::execute(import, {QStringLiteral("-window"),
                                                         QString::number(view.winId()), picture}) != 0) {
        if (!view.grab().save(picture)) status = 1;
      }
      view.mapChoice()->ChooseNoMap();
    }

    // Back to the oldest day, then every day forwards, each by its button.
    while (view.previousButton()->isEnabled()) view.previousButton()->click();
    for (;;) {
      Settle();
      if (!view.grab().save(folder + "/" + DayName(view.day()))) status = 1;
      std::printf("%s: %zu points\n", qPrintable(DayName(view.day())), view.track().points().size());
      if (!view.nextButton()->isEnabled()) break;
      view.nextButton()->click();
    }
    window.close();
  }
  fs::remove_all(home);
  return status;
}
