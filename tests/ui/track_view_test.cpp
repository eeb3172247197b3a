#include "ui/track_view.h"

#include <cmath>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include "desktop_fixture.h"
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

  port->queued = Walk(20, 43205.0);
  window->Tick();
  EXPECT_GT(view->track().points().size(), first);
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

  // A second "Show track" brings the same window forward.
  window->action(kCommandShowTrack)->trigger();
  EXPECT_EQ(window->trackView(), view);
  view->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window->trackView(), nullptr);
  window->Tick();  // ticks without a view
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
  StoreOutputFolder(L"\\Tracks");
  fs::create_directories(Device("Tracks"));
  std::ofstream(Device("Tracks/2026-12-06.plt"), std::ios::binary) << testing::DriveWithStopTrackFile(6);
  auto window = MakeWindow();
  Start(*window);
  window->ShowTrack();
  TrackView& view = *window->trackView();
  view.ShowDay({2026, 12, 6});
  const QStringList shown = view.summaryPanel()->lines();
  EXPECT_TRUE(shown.contains("Moving time: 0:20:00")) << shown.join("|").toStdString();
  EXPECT_TRUE(shown.contains("Stops: 1")) << shown.join("|").toStdString();

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

}  // namespace
}  // namespace pathmere
