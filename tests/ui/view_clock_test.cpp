#include "ui/view_clock.h"

#include <cmath>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <QWidget>

#include "desktop_fixture.h"
#include "fix/fix_time.h"
#include "support/generated_day.h"
#include "support/test_environment.h"
#include "ui/track_map.h"
#include "ui/track_painter.h"
#include "ui/track_summary_panel.h"
#include "ui/track_view.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;

// The track view's clocks against the zone's rules at the point's own date,
// as the day files are named; the real tzdata where old rules are the point.
TEST(ViewClockTest, TimesAreLocalByTheZoneOfTheirDateWithUtcBeside) {
  struct Row {
    const char* legend;
    const char* zone;
    int year, month, day, hour, minute, second;
    const char* both;
  };
  const Row rows[] = {
      {"summer time", "CET-1CEST,M3.5.0,M10.5.0/3", 2005, 9, 25, 10, 0, 0, "12:00:00 CEST (10:00:00 UTC)"},
      {"winter time", "CET-1CEST,M3.5.0,M10.5.0/3", 2005, 12, 25, 23, 59, 59, "00:59:59 CET (23:59:59 UTC)"},
      {"the hour before the clocks go back", "CET-1CEST,M3.5.0,M10.5.0/3", 2005, 10, 30, 0, 59, 59,
       "02:59:59 CEST (00:59:59 UTC)"},
      {"the hour after", "CET-1CEST,M3.5.0,M10.5.0/3", 2005, 10, 30, 1, 0, 0, "02:00:00 CET (01:00:00 UTC)"},
      {"Moscow kept summer time in 2005", "Europe/Moscow", 2005, 7, 1, 12, 0, 0,
       "16:00:00 MSD (12:00:00 UTC)"},
      {"and no longer in 2020", "Europe/Moscow", 2020, 7, 1, 12, 0, 0, "15:00:00 MSK (12:00:00 UTC)"},
      {"half an hour, the day after", "IST-5:30", 2005, 9, 25, 20, 0, 0, "01:30:00 IST (20:00:00 UTC)"},
      {"a zone without a name", "<+0530>-5:30", 2005, 9, 25, 20, 0, 0, "01:30:00 UTC+05:30 (20:00:00 UTC)"},
      {"west of Greenwich", "<-0330>3:30", 2005, 9, 25, 2, 0, 0, "22:30:00 UTC-03:30 (02:00:00 UTC)"},
      {"UTC", "UTC", 2005, 9, 25, 10, 0, 0, "10:00:00 UTC (10:00:00 UTC)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    testing::ScopedTimeZone zone(row.zone);
    const double utc = FixTimeToDays(row.day, row.month, row.year, row.hour, row.minute, row.second);
    EXPECT_EQ(BothClocksText(utc).toStdString(), row.both);
  }
  // No date at all is told as it is.
  testing::ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  for (double absurd : {-1.0, 1e12, std::nan("")}) {
    EXPECT_EQ(ZoneText(absurd).toStdString(), "UTC") << absurd;
    EXPECT_EQ(ClockText(LocalDayNumber(absurd)).size(), 8) << absurd;
  }
}

// The facts line tells the day's span on the local clock, and names both
// zones when the clocks change within it; its tooltip tells UTC.
TEST(ViewClockTest, SpanIsLocalAndNamesBothZonesAcrossAClockChange) {
  testing::ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  const double summer = FixTimeToDays(25, 9, 2005, 8, 1, 12);
  const double evening = FixTimeToDays(25, 9, 2005, 17, 45, 0);
  EXPECT_EQ(TimeSpanText(summer, evening).toStdString(), "10:01:12-19:45:00 CEST (9 h 44 min)");
  EXPECT_EQ(UtcTimeSpanText(summer, evening).toStdString(), "08:01:12-17:45:00 UTC");
  const double before = FixTimeToDays(30, 10, 2005, 0, 30, 0);
  const double after = FixTimeToDays(30, 10, 2005, 1, 30, 0);
  EXPECT_EQ(TimeSpanText(before, after).toStdString(), "02:30:00 CEST-02:30:00 CET (1 h 0 min)");
}

class ViewClockViewTest : public testing::DesktopTest {};

// The view tells the day's times on the local clock, as the day files are
// named, and UTC in its tooltips: over the facts, the profile, a stop sign
// and the panel's stops.
TEST_F(ViewClockViewTest, TimesAreLocalWithUtcInTheTooltips) {
  testing::ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  auto window = WindowOnDriveWithStop();
  TrackView& view = *window->trackView();
  const DayTrack& track = view.track();
  EXPECT_EQ(TimeSpanText(track.firstDayNumber(), track.lastDayNumber()).toStdString(),
            "13:00:00-13:25:00 CET (0 h 25 min)");
  TrackMap& map = *view.map();
  EXPECT_EQ(map.ToolTipAt(QPoint(20, 3)).toStdString(), "12:00:00-12:25:00 UTC");
  EXPECT_EQ(map.ToolTipAt(QPoint(map.width() / 2, map.height() - 2)).toStdString(), "") << "plain map";

  ASSERT_EQ(map.stops().size(), 1u);
  const double stop = map.stops()[0].startDayNumber;
  double x = 0.0;
  double y = 0.0;
  map.projection().ToPixel(map.stops()[0].latitude, map.stops()[0].longitude, &x, &y);
  const QString stopTip = map.ToolTipAt(QPoint(static_cast<int>(x), static_cast<int>(y)));
  EXPECT_TRUE(stopTip.startsWith(ClockText(stop + 1.0 / 24) + " CET (" + ClockText(stop) + " UTC)  0:0"))
      << stopTip.toStdString();
  EXPECT_TRUE(stopTip.startsWith("13:1")) << stopTip.toStdString();
  EXPECT_EQ(view.summaryPanel()->toolTip(), "Stops:\n" + stopTip);

  const QWidget* profile = view.findChild<QWidget*>("trackProfile");
  ASSERT_NE(profile, nullptr);
  const ProfileLayout layout = LayOutProfile(profile->rect(), track, profile->fontMetrics());
  EXPECT_EQ(ProfileToolTip(profile->rect(), track, profile->fontMetrics(), layout.plot.left()).toStdString(),
            "13:00:00 CET (12:00:00 UTC)\n0 km/h, 100 m");
  EXPECT_TRUE(ProfileToolTip(profile->rect(), track, profile->fontMetrics(), layout.plot.right())
                  .startsWith("13:25:00 CET (12:25:00 UTC)\n"));
  EXPECT_EQ(ProfileToolTip(profile->rect(), track, profile->fontMetrics(), layout.plot.left() - 2), "")
      << "beside the plot";
}

}  // namespace
}  // namespace pathmere
