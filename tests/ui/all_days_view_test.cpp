// Tools > "Show all days": the days of the output folder indexed off the
// window's thread and drawn at once; a click lists the days that passed
// there, and a double click opens one in the track view.
#include "ui/all_days_view.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include "desktop_fixture.h"
#include "support/generated_archive.h"
#include "ui/all_days_map.h"
#include "ui/month_strip.h"

namespace pathmere {
namespace {

using testing::DesktopTest;
using testing::FindAction;

class AllDaysViewTest : public DesktopTest {
 protected:
  testing::TempFolder cache;
  testing::ScopedEnv cacheEnv_{"XDG_CACHE_HOME", cache.path().c_str()};
};

TEST_F(AllDaysViewTest, ShowsEveryDayAndListsThoseThatPassedAPlace) {
  StoreOutputFolder(L"\\Tracks");
  testing::WriteGeneratedArchive(Device("Tracks"), testing::DayNumberOfCivil(2025, 11, 1), 6, 900, 20);
  auto window = MakeWindow();
  Start(*window);

  FindAction(window->toolsMenu(), "Show all days")->trigger();
  AllDaysView* view = window->allDaysView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->windowTitle(), "Pathmere - All days");
  EXPECT_TRUE(view->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->indexed(); }, 20000));
  EXPECT_TRUE(dialogsShown.empty());
  EXPECT_TRUE(view->totals()->text().startsWith("6 days, ")) << view->totals()->text().toStdString();
  EXPECT_TRUE(std::filesystem::exists(cache.path() / "pathmere" / "archive" / "index.sqlite"));

  // The lines are drawn: the picture is not all one colour.
  const QImage picture = view->map()->grab().toImage();
  int coloured = 0;
  for (int y = 0; y < picture.height(); y += 2) {
    for (int x = 0; x < picture.width(); x += 2)
      coloured += picture.pixel(x, y) != picture.pixel(0, 0) ? 1 : 0;
  }
  EXPECT_GT(coloured, 50);

  // Home, where every day starts: all six, newest first.
  ArchiveArea home;
  home.latitude = testing::kArchivePlaces[0].latitude;
  home.longitude = testing::kArchivePlaces[0].longitude;
  view->Ask(home);
  ASSERT_EQ(view->daysHere()->count(), 6);
  EXPECT_TRUE(view->daysHere()->item(0)->text().startsWith("2026-02-09  07:05:00 - "))
      << view->daysHere()->item(0)->text().toStdString();
  EXPECT_TRUE(view->daysHere()->item(5)->toolTip().endsWith(" UTC"));

  // The months from the first day's to the last's, each a bar; a click on
  // one shows its days alone, a second click all again.
  ASSERT_EQ(view->months()->months().size(), 4u);
  EXPECT_GT(view->months()->months()[1].second, 0.0);
  QTest::mouseClick(view->months(), Qt::LeftButton, {}, view->months()->CentreOf("2025-12"));
  EXPECT_TRUE(view->totals()->text().startsWith("2 days, ")) << view->totals()->text().toStdString();
  view->Ask(home);
  EXPECT_EQ(view->daysHere()->count(), 2);
  QTest::mouseClick(view->months(), Qt::LeftButton, {}, view->months()->CentreOf("2025-12"));
  EXPECT_TRUE(view->totals()->text().startsWith("6 days, "));
  view->Ask(home);

  // A double click opens that day in the track view.
  emit view->daysHere()->itemDoubleClicked(view->daysHere()->item(5));
  ASSERT_NE(window->trackView(), nullptr);
  EXPECT_EQ(window->trackView()->day(), (LocalDate{2025, 11, 1}));
  EXPECT_GT(window->trackView()->track().points().size(), 800u);
}

}  // namespace
}  // namespace pathmere
