#include "ui/track_view.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>

#include "desktop_fixture.h"
#include "fix/fix_time.h"
#include "output/ozi_lines.h"
#include "support/child_process.h"
#include "support/generated_day.h"
#include "ui/stop_marks.h"
#include "ui/track_map.h"
#include "ui/track_painter.h"
#include "ui/track_summary_panel.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::DesktopTest;
using testing::FindAction;
using testing::Walk;

class TrackViewTest : public DesktopTest {};

TEST_F(TrackViewTest, ShowTrackOpensAWindowBesideTheMainOneThatFollowsTheTicks) {
  StoreOutputFolder(L"\\Tracks");
  auto window = MakeWindow();
  window->program().SelectPort(0);
  Start(*window);
  port->queued = Walk(5);
  window->Tick();

  FindAction(window->toolsMenu(), "Show track")->trigger();
  ASSERT_EQ(window->action(kCommandShowTrack), FindAction(window->toolsMenu(), "Show track"));
  TrackView* view = window->trackView();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isVisible());
  EXPECT_TRUE(view->isWindow());
  EXPECT_EQ(view->windowTitle(), "Pathmere - Track");
  EXPECT_EQ(view->windowModality(), Qt::NonModal);
  EXPECT_TRUE(dialogsShown.empty());
  EXPECT_EQ(view->day(), (LocalDate{2026, 12, 6}));
  const size_t first = view->track().points().size();
  EXPECT_GT(first, 0u) << "the pending points, before any file exists";
  EXPECT_FALSE(fs::exists(Device("Tracks/2026-12-06.plt")));
  EXPECT_EQ(view->map()->position().state, PositionState::kFix);
  EXPECT_TRUE(view->map()->PositionInView(0.0)) << "fitted with the track it runs ahead of";

  port->queued = Walk(20, 43205.0);
  window->Tick();
  EXPECT_GT(view->track().points().size(), first);
  EXPECT_EQ(view->summaryPanel()->summary().points, view->track().points().size())
      << "the day in numbers changes with the facts line";
  const size_t grown = view->track().points().size();
  window->program().FlushWriters();
  window->Tick();
  EXPECT_TRUE(fs::exists(Device("Tracks/2026-12-06.plt")));
  EXPECT_EQ(view->track().points().size(), grown) << "written points are not counted twice";
  // Silence: the marker says so once the panel would.
  for (int i = 0; i < 7; ++i) window->Tick();
  EXPECT_EQ(view->summaryPanel()->summary().points, view->track().points().size())
      << "the day in numbers catches up within a few ticks";
  EXPECT_EQ(view->map()->position().state, PositionState::kNoData);

  // Another output folder: the view leaves the old folder's day for the
  // writers' day there.
  view->ShowDay({2026, 12, 1});
  fs::create_directories(Device("Other"));
  window->program().SetOutputFolder(L"\\Other");
  port->queued = Walk(5, 43300.0);
  window->Tick();
  EXPECT_EQ(view->day(), (LocalDate{2026, 12, 6}));
  EXPECT_GT(view->track().points().size(), 0u);

  // A second "Show track" brings the same window forward.
  window->action(kCommandShowTrack)->trigger();
  EXPECT_EQ(window->trackView(), view);
  view->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window->trackView(), nullptr);
  window->Tick();  // ticks without a view
}

// The view opens whole on the screen beside the main window and answers
// the keyboard; its picture gets the day's name and a ".png".
TEST_F(TrackViewTest, OpensOnTheScreenAndAnswersTheKeys) {
  StoreOutputFolder(L"\\Tracks");
  auto window = MakeWindow();
  window->program().SelectPort(0);
  Start(*window);
  port->queued = Walk(30);
  window->Tick();
  window->ShowTrack();
  TrackView* view = window->trackView();
  ASSERT_NE(view, nullptr);
  const QRect screen = window->screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(view->frameGeometry()))
      << view->frameGeometry().width() << "x" << view->frameGeometry().height();
  EXPECT_FALSE(view->geometry().intersects(window->geometry()) && screen.width() >= 2 * 800)
      << "beside the main window where there is room";
  EXPECT_EQ(TrackView::PictureFileName(view->day()), "2026-12-06.png");
  // The keys are the window's, so it must be the active one.
  view->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(view));

  TrackMap& map = *view->map();
  // Where the fitted map's middle is: the arrows move it away, the zoom
  // keys (two in, two out) do not undo that.
  double fittedLatitude = 0.0;
  double fittedLongitude = 0.0;
  map.projection().FromPixel(map.width() / 2.0, map.height() / 2.0, &fittedLatitude, &fittedLongitude);
  struct Key {
    const char* legend;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    double scale;  // of the metres per pixel
    double dx;     // where the map's middle moves, in pixels
    double dy;
  };
  const Key keys[] = {
      {"plus", Qt::Key_Plus, Qt::NoModifier, 1.0 / TrackMap::kZoomPerNotch, 0, 0},
      {"equals", Qt::Key_Equal, Qt::NoModifier, 1.0 / TrackMap::kZoomPerNotch, 0, 0},
      {"minus", Qt::Key_Minus, Qt::NoModifier, TrackMap::kZoomPerNotch, 0, 0},
      {"keypad minus", Qt::Key_Minus, Qt::KeypadModifier, TrackMap::kZoomPerNotch, 0, 0},
      {"left", Qt::Key_Left, Qt::NoModifier, 1.0, map.width() / 8.0, 0},
      {"down", Qt::Key_Down, Qt::NoModifier, 1.0, 0, -map.height() / 8.0},
  };
  for (const Key& key : keys) {
    SCOPED_TRACE(key.legend);
    const double before = map.projection().metresPerPixel();
    double latitude = 0.0;
    double longitude = 0.0;
    map.projection().FromPixel(map.width() / 2.0, map.height() / 2.0, &latitude, &longitude);
    QTest::keyClick(view, key.key, key.modifiers);
    EXPECT_NEAR(map.projection().metresPerPixel(), before * key.scale, before * 1e-9);
    double x = 0.0;
    double y = 0.0;
    map.projection().ToPixel(latitude, longitude, &x, &y);
    EXPECT_NEAR(x, map.width() / 2.0 + key.dx, 1e-6);
    EXPECT_NEAR(y, map.height() / 2.0 + key.dy, 1e-6);
    EXPECT_FALSE(map.followsTrack());
  }
  double x = 0.0;
  double y = 0.0;
  map.projection().ToPixel(fittedLatitude, fittedLongitude, &x, &y);
  EXPECT_NEAR(x, map.width() / 2.0 + map.width() / 8.0, 1e-6);
  EXPECT_NEAR(y, map.height() / 2.0 - map.height() / 8.0, 1e-6);

  const fs::path picture = root.path() / "day";
  view->askPictureFile = [&] { return QString::fromStdString(picture.string()); };
  view->saveButton()->click();
  EXPECT_FALSE(QImage(QString::fromStdString(picture.string() + ".png")).isNull());

  for (QKeyCombination key :
       {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
    window->ShowTrack();
    ASSERT_NE(window->trackView(), nullptr);
    window->trackView()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window->trackView()));
    QTest::keyClick(window->trackView(), key.key(), key.keyboardModifiers());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->trackView(), nullptr) << key.key();
  }
}

// The midnight log crosses midnight in UTC, the tests' zone: two days, both
// reached by the buttons, and the picture saved.
TEST_F(TrackViewTest, ReplayOverMidnightGivesTwoDaysReachedByTheButtons) {
  const fs::path log = testing::RecordedLogFolder() / "nmeaparser-garmin-midnight.nmea";
  if (!fs::exists(log)) GTEST_SKIP() << "recorded logs are not there";
  StoreOutputFolder(L"\\Tracks");
  auto window = MakeWindow();
  Start(*window);
  // Opened on today, it follows the writers to the replay's days.
  window->ShowTrack();
  ASSERT_TRUE(window->program().ReplayFile(log.c_str()));
  ASSERT_TRUE(TickUntil(
      *window, [&] { return !window->program().IsReplaying(); }, 600));
  window->Tick();
  TrackView& view = *window->trackView();
  EXPECT_EQ(view.day(), (LocalDate{2005, 9, 26}));
  const size_t second = view.track().points().size();
  EXPECT_GT(second, 100u);
  EXPECT_FALSE(view.nextButton()->isEnabled());
  ASSERT_TRUE(view.previousButton()->isEnabled());
  view.previousButton()->click();
  EXPECT_EQ(view.day(), (LocalDate{2005, 9, 25}));
  EXPECT_GT(view.track().points().size(), 10u);
  EXPECT_FALSE(view.track().routePoints().empty());
  EXPECT_FALSE(view.previousButton()->isEnabled());
  EXPECT_EQ(view.map()->position().state, PositionState::kIdle) << "the replay is over";
  window->Tick();
  EXPECT_EQ(view.day(), (LocalDate{2005, 9, 25})) << "a day chosen by the buttons stays";
  view.nextButton()->click();
  EXPECT_EQ(view.day(), (LocalDate{2005, 9, 26}));
  EXPECT_EQ(view.track().points().size(), second);

  // Wheel and drag leave the fit, a double click comes back to it.
  TrackMap& map = *view.map();
  const double fitted = map.projection().metresPerPixel();
  const QPointF middle(map.width() / 2.0, map.height() / 2.0);
  QWheelEvent wheel(middle, map.mapToGlobal(middle), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&map, &wheel);
  EXPECT_NEAR(map.projection().metresPerPixel(), fitted / (TrackMap::kZoomPerNotch * TrackMap::kZoomPerNotch),
              1e-9);
  double latitude = 0.0;
  double longitude = 0.0;
  map.projection().FromPixel(100, 100, &latitude, &longitude);
  QTest::mousePress(&map, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  QTest::mouseMove(&map, QPoint(130, 90));
  QTest::mouseRelease(&map, Qt::LeftButton, Qt::NoModifier, QPoint(130, 90));
  double x = 0.0;
  double y = 0.0;
  map.projection().ToPixel(latitude, longitude, &x, &y);
  EXPECT_NEAR(x, 130.0, 1e-6) << "the place dragged stays under the cursor";
  EXPECT_NEAR(y, 90.0, 1e-6);
  EXPECT_FALSE(map.followsTrack());
  QTest::mouseDClick(&map, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_TRUE(map.followsTrack());
  EXPECT_DOUBLE_EQ(map.projection().metresPerPixel(), fitted);

  const fs::path picture = root.path() / "track.png";
  view.askPictureFile = [&] { return QString::fromStdString(picture.string()); };
  view.saveButton()->click();
  QImage saved(QString::fromStdString(picture.string()));
  EXPECT_FALSE(saved.isNull());
  EXPECT_EQ(saved.width(), view.map()->width());
}

// The panel and pathmere-cli summary show the same numbers of a known day,
// and its stop is marked on the map.
TEST_F(TrackViewTest, TheDayInNumbersIsTheCommandsAndItsStopIsMarked) {
  auto window = WindowOnDriveWithStop();
  TrackView& view = *window->trackView();
  EXPECT_TRUE(view.summaryPanel()->lines().contains("Maximum speed: 50.0 km/h"));
  // With the day's GPX file, the maximum is the receiver's speed.
  std::ofstream(Device("Tracks/2026-12-06.gpx"), std::ios::binary)
      << testing::DriveWithStopTrackFile(6, true);
  view.ShowDay({2026, 12, 6});
  const QStringList shown = view.summaryPanel()->lines();
  EXPECT_TRUE(shown.contains("Moving time: 0:20:00")) << shown.join("|").toStdString();
  EXPECT_TRUE(shown.contains("Stops: 1")) << shown.join("|").toStdString();
  EXPECT_TRUE(shown.contains("Maximum speed: 61.2 km/h")) << shown.join("|").toStdString();

  // The command reads the saved output folder, as the view does.
  const auto printed = testing::RunCommand({PATHMERE_CLI_PATH, "summary", "2026-12-06"});
  ASSERT_EQ(printed.exitStatus, 0) << printed.err;
  QStringList rows;
  for (const QString& line : QString::fromStdString(printed.out).split('\n')) {
    if (!line.startsWith("  ") || line.startsWith("    ")) continue;
    const qsizetype colon = line.indexOf(':');
    rows << line.left(colon).trimmed() + ": " + line.mid(colon + 1).trimmed();
  }
  EXPECT_EQ(rows, shown);

  TrackMap& map = *view.map();
  ASSERT_EQ(map.stops().size(), 1u);
  double x = 0.0;
  double y = 0.0;
  map.projection().ToPixel(map.stops()[0].latitude, map.stops()[0].longitude, &x, &y);
  const QImage image = map.grab().toImage();
  bool marked = false;
  for (int dy = -4; dy <= 4; ++dy) {
    for (int dx = -4; dx <= 4; ++dx) {
      marked = marked || image.pixelColor(static_cast<int>(x) + dx, static_cast<int>(y) + dy) == kStopColour;
    }
  }
  EXPECT_TRUE(marked);
}

// A known day painted into an image: the track's pixels lie where the
// projection puts its points, and nowhere far from them.
TEST(TrackPainterTest, TrackPixelsLieWhereTheProjectionPutsThePoints) {
  DayTrack track;
  // An L: 2 km north, then 1 km east, one point every 10 s.
  for (int i = 0; i <= 200; ++i)
    track.AddTrackPoint(48.0 + i * 10.0 / 111195.0, 11.0, 46362.5 + i * 10 / 86400.0, false, 0);
  for (int i = 1; i <= 100; ++i) {
    track.AddTrackPoint(48.0 + 2000.0 / 111195.0,
                        11.0 + i * 10.0 / (111195.0 * std::cos(48.0 * 3.14159265358979 / 180)),
                        46362.5 + (2000 + i * 10) / 86400.0, false, 0);
  }
  const QRect area(0, 0, 400, 300);
  TrackProjection projection;
  projection.SetViewport(area.width(), area.height());
  QImage image(area.size(), QImage::Format_RGB32);
  projection.Fit(track.bounds(), FactsBandHeight(QPainter(&image).font()));
  LivePosition position{PositionState::kDropped, true, 48.0, 11.0};
  TrackPaintScratch scratch;
  {
    QPainter painter(&image);
    PaintTrackMap(painter, area, track, projection, position, QStringLiteral("2026-12-06"), scratch);
  }
  auto near = [](QColor a, QColor b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 40;
  };
  for (size_t index : {50u, 150u, 230u, 280u}) {
    const DayTrackPoint& point = track.points()[index];
    double x = 0.0;
    double y = 0.0;
    projection.ToPixel(point.latitude, point.longitude, &x, &y);
    EXPECT_TRUE(near(image.pixelColor(static_cast<int>(x), static_cast<int>(y)), kTrackColour))
        << index << " at " << x << "," << y << ": "
        << image.pixelColor(static_cast<int>(x), static_cast<int>(y)).name().toStdString();
  }
  // Inside the L, away from both legs, is plain map.
  double x = 0.0;
  double y = 0.0;
  projection.ToPixel(48.0 + 1000.0 / 111195.0, 11.0 + 0.007, &x, &y);
  EXPECT_EQ(image.pixelColor(static_cast<int>(x), static_cast<int>(y)), kMapBackground);
  // The marker at the start, in the colour of its state.
  projection.ToPixel(48.0, 11.0, &x, &y);
  EXPECT_TRUE(near(image.pixelColor(static_cast<int>(x), static_cast<int>(y)),
                   MarkerColour(PositionState::kDropped)));
}

// Times read back from the track file say the seconds its time column
// holds, though the day number keeps only eight decimals.
TEST(TrackPainterTest, TimesAreThoseOfTheTrackFilesTimeColumn) {
  std::vector<int> seconds = {0,    1, 59, 3600, 43199, 43200, 85956 /* 23:52:36 */, 10590 /* 02:56:30 */,
                              86399};
  for (int second = 0; second < 86400; second += 13) seconds.push_back(second);
  int wrong = 0;
  for (int second : seconds) {
    GpsFix fix;
    fix.day = 25;
    fix.month = 9;
    fix.year = 5;
    fix.hour = static_cast<uint8_t>(second / 3600);
    fix.minute = static_cast<uint8_t>(second / 60 % 60);
    fix.seconds = second % 60;
    fix.timeOfDay = second;
    fix.latitude = 47.0;
    fix.longitude = 8.0;
    fix.altitude = 400.0;
    char line[200];
    ASSERT_GT(ComposeTrackPointLine(fix, FixTimeToDays(25, 9, 2005, fix.hour, fix.minute, second % 60), line,
                                    sizeof line),
              0u);
    DayTrack track;
    ASSERT_GT(track.AddTrackText(line), 0u) << line;
    const std::string written(std::string_view(line).substr(std::string_view(line).rfind(", ") + 2, 8));
    const QString shown = TimeSpanText(track.firstDayNumber(), track.lastDayNumber());
    if (!shown.startsWith(QString::fromStdString(written + "-" + written + " UTC"))) {
      if (++wrong < 5) ADD_FAILURE() << line << " shows " << shown.toStdString();
    }
  }
  EXPECT_EQ(wrong, 0);
}

// The receiver's position runs ahead of the track: the fit takes it in, and
// a map zoomed in on it goes along while it is in view.
TEST(TrackMapTest, PositionIsFittedWithTheTrackAndFollowedWhileInView) {
  DayTrack track;
  const double eastDegree = 111195.0 * std::cos(47.0 * 3.14159265358979 / 180);
  for (int i = 0; i < 100; ++i)
    track.AddTrackPoint(47.0, 8.0 + i * 20.0 / eastDegree, 38620.5 + i / 86400.0, false, 0);
  auto ahead = [&](double metres) {
    return LivePosition{PositionState::kFix, true, 47.0, 8.0 + (1980.0 + metres) / eastDegree};
  };
  TrackMap map;
  map.resize(400, 300);
  map.show();
  map.SetTrack(&track, QStringLiteral("2005-09-25"));

  struct Row {
    const char* legend;
    double metresAhead;
    bool onShownDay;
    bool inView;
  };
  const Row rows[] = {
      {"a fix ahead", 40.0, true, true},
      {"far ahead", 3000.0, true, true},
      {"behind, at the start", -1980.0, true, true},
      {"another day's position is not fitted", 3000.0, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    map.SetPosition(ahead(row.metresAhead), row.onShownDay);
    EXPECT_EQ(map.PositionInView(0.0), row.inView);
    EXPECT_TRUE(map.followsTrack());
  }
  map.SetPosition(ahead(40.0), true);
  EXPECT_TRUE(map.PositionInView(TrackMap::kFollowMargin));

  // Zoomed in about it, the position drives out of the view a metre a second.
  auto pixel = [&] {
    double x = 0.0;
    double y = 0.0;
    map.projection().ToPixel(map.position().latitude, map.position().longitude, &x, &y);
    return QPointF(x, y);
  };
  QWheelEvent wheel(pixel(), map.mapToGlobal(pixel()), QPoint(), QPoint(0, 1200), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&map, &wheel);
  ASSERT_FALSE(map.followsTrack());
  for (int second = 0; second < 2000; second += 5) {
    map.SetPosition(ahead(40.0 + second), true);
    ASSERT_TRUE(map.PositionInView(0.0)) << second;
  }
  // Dragged away from it, the map stays where the user put it.
  const QPoint away(static_cast<int>(map.width() - pixel().x()) + 60, 0);
  QTest::mousePress(&map, Qt::LeftButton, Qt::NoModifier, QPoint(10, 150));
  QTest::mouseMove(&map, QPoint(10, 150) + away);
  QTest::mouseRelease(&map, Qt::LeftButton, Qt::NoModifier, QPoint(10, 150) + away);
  ASSERT_FALSE(map.PositionInView(0.0));
  map.SetPosition(ahead(2010.0), true);
  EXPECT_FALSE(map.PositionInView(0.0));
}

// A crowded map: route numbers all over it, waypoints close together, one
// at the position. No name or number covers another, the facts, the scale
// bar, the north arrow or the position.
TEST(TrackPainterTest, LabelsCoverNeitherEachOtherNorTheMapsFurniture) {
  DayTrack track;
  const double eastDegree = 111195.0 * std::cos(47.0 * 3.14159265358979 / 180);
  for (int i = 0; i < 400; ++i) {
    const double north = (i / 20) * 50.0;
    const double east = (i % 20) * 50.0;
    track.AddTrackPoint(47.0 + north / 111195.0, 8.0 + east / eastDegree, 38620.5 + i / 86400.0, false, 0);
    track.AddRoutePoint({i + 1, 47.0 + north / 111195.0, 8.0 + east / eastDegree});
  }
  for (int i = 0; i < 6; ++i) {
    track.AddWaypoint({"W050925-1200" + std::to_string(i), 47.0 + (500.0 + i * 100.0) / 111195.0,
                       8.0 + (500.0 + i * 8) / eastDegree});
  }
  const LivePosition position{PositionState::kFix, true, 47.0 + 500.0 / 111195.0, 8.0 + 500.0 / eastDegree};
  const QRect area(0, 0, 400, 300);
  QImage image(area.size(), QImage::Format_RGB32);
  TrackProjection projection;
  projection.SetViewport(area.width(), area.height());
  projection.Fit(track.bounds(), FactsBandHeight(QPainter(&image).font()));
  TrackPaintScratch scratch;
  // A stop's sign, drawn over the map afterwards.
  const DayStop stop{.latitude = 47.0 + 200.0 / 111195.0, .longitude = 8.0 + 300.0 / eastDegree};
  {
    QPainter painter(&image);
    scratch.keepClear = StopSignPlaces(painter.font(), projection, {stop});
    PaintTrackMap(painter, area, track, projection, position, QStringLiteral("2005-09-25"), scratch);
  }
  ASSERT_EQ(scratch.keepClear.size(), 1u);
  // First the facts, scale bar, north arrow, position and stop sign; then
  // each waypoint's flag, which is always drawn; the rest are labels.
  const std::vector<QRect>& taken = scratch.labels;
  constexpr size_t kFurniture = 5;
  ASSERT_GT(taken.size(), kFurniture + 6 + 10) << "numbers and names were drawn";
  size_t names = 0;
  for (const QRect& name : scratch.waypointNames) names += name.isNull() ? 0 : 1;
  EXPECT_GE(names, 2u);
  auto isFlag = [&](size_t i) { return i >= kFurniture && taken[i].size() == QSize(12, 18); };
  for (size_t label = kFurniture; label < taken.size(); ++label) {
    if (isFlag(label)) continue;
    for (size_t other = 0; other < taken.size(); ++other) {
      if (other == label) continue;
      EXPECT_FALSE(taken[label].intersects(taken[other])) << label << " and " << other;
    }
    // Nor does a number lie under a route dot (of 4 pixels' radius).
    const std::vector<QRect>& named = scratch.waypointNames;
    if (std::find(named.begin(), named.end(), taken[label]) != named.end()) continue;
    for (const DayRoutePoint& point : track.routePoints()) {
      double x = 0.0;
      double y = 0.0;
      projection.ToPixel(point.latitude, point.longitude, &x, &y);
      EXPECT_FALSE(taken[label].adjusted(-4, -4, 4, 4).contains(static_cast<int>(x), static_cast<int>(y)))
          << label << " covers route point " << point.number;
    }
  }
}

}  // namespace
}  // namespace pathmere
