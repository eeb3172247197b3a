// pathmere-screenshots: the pictures in docs/, taken of the real windows
// after a replay, in a device root and configuration of their own.
//
//   pathmere-screenshots --log FILE --out DIR
//
// Writes DIR/screenshot.png (the main window beside the track view of the
// writers' last day) and DIR/track-YYYY-MM-DD.png for every day the track
// view's buttons reach. Run under Xvfb by scripts/screenshots.sh.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "platform/file_system_posix.h"
#include "platform/settings_store_file.h"
#include "platform/tick_clock.h"
#include "settings/settings_operations.h"
#include "ui/desktop_program.h"
#include "ui/main_window.h"
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

}  // namespace

int main(int argc, char** argv) {
  const char* log = nullptr;
  const char* out = nullptr;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--log") == 0) log = argv[i + 1];
    if (std::strcmp(argv[i], "--out") == 0) out = argv[i + 1];
  }
  if (log == nullptr || out == nullptr) {
    std::fprintf(stderr, "usage: pathmere-screenshots --log FILE --out DIR\n");
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
