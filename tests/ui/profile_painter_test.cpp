#include "ui/profile_painter.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

#include "ui/track_painter.h"
#include "ui/track_view.h"
#include "ui/view_colours.h"

namespace pathmere {
namespace {

// Inside the plot, all that is neither a speed bar, the background nor a
// value line is the altitude line (drawn smooth, so blended with them).
bool IsAltitudeLine(QColor colour) {
  const ViewColours colours = ViewColoursFor(QPalette());
  return colour != colours.speed && colour != colours.profileBackground && colour != colours.grid;
}

// A short day has far fewer points than the profile is wide: the altitude
// line still joins them and the speed bars still fill the time, except
// across a break in the track.
TEST(TrackPainterTest, ShortDaysProfileJoinsItsFewPointsButNotAcrossABreak) {
  DayTrack track;
  // 89 points 5 s apart, 20 minutes' pause, 89 more: 36 km/h, climbing.
  for (int i = 0; i < 178; ++i) {
    const double seconds = i * 5.0 + (i >= 89 ? 1200.0 : 0.0);
    track.AddTrackPoint(47.0, 8.0 + i * 50.0 / (111195.0 * std::cos(47.0 * 3.14159265358979 / 180)),
                        38620.5 + seconds / 86400.0, true, 1377.0 + i * 1.1);
  }
  ASSERT_EQ(track.pieceCount(), 2);
  QImage image(800, TrackView::kProfileHeight, QImage::Format_RGB32);
  ProfileLayout layout;
  {
    QPainter painter(&image);
    PaintProfile(painter, image.rect(), track);
    layout = LayOutProfile(image.rect(), track, painter.fontMetrics());
  }
  const QRect plot = layout.plot;
  // Columns by where the day's time puts them.
  const double span = track.lastDayNumber() - track.firstDayNumber();
  auto column = [&](size_t point) {
    return plot.left() +
           static_cast<int>((track.points()[point].dayNumber - track.firstDayNumber()) / span * plot.width());
  };
  struct Stretch {
    const char* legend;
    int from;
    int to;
    bool drawn;
  };
  const Stretch stretches[] = {
      {"first piece", column(1), column(87), true},
      {"the pause", column(88) + 8, column(89) - 8, false},
      {"second piece", column(90), column(176), true},
  };
  // The key above the plot shows both colours.
  for (const QColor& colour : {kSpeedColour, kAltitudeColour}) {
    bool keyed = false;
    for (int y = 0; y < layout.keyHeight; ++y) {
      for (int x = 0; x < 400 && !keyed; ++x) keyed = image.pixelColor(x, y) == colour;
    }
    EXPECT_TRUE(keyed) << colour.name().toStdString();
  }
  for (const Stretch& stretch : stretches) {
    SCOPED_TRACE(stretch.legend);
    ASSERT_LT(stretch.from, stretch.to);
    int altitude = 0;
    int speed = 0;
    for (int x = stretch.from; x <= stretch.to; ++x) {
      bool hasAltitude = false;
      bool hasSpeed = false;
      for (int y = plot.top(); y <= plot.bottom(); ++y) {
        hasAltitude = hasAltitude || IsAltitudeLine(image.pixelColor(x, y));
        hasSpeed = hasSpeed || image.pixelColor(x, y) == kSpeedColour;
      }
      altitude += hasAltitude ? 1 : 0;
      speed += hasSpeed ? 1 : 0;
    }
    const int columns = stretch.to - stretch.from + 1;
    EXPECT_EQ(altitude, stretch.drawn ? columns : 0);
    EXPECT_EQ(speed, stretch.drawn ? columns : 0);
  }
}

// The axes tell the truth: a bar reaches the height the speed axis gives
// its speed, the line the height the altitude axis gives its altitude, and
// the values, times and key all find room without covering each other.
TEST(TrackPainterTest, ProfileAxesAgreeWithTheBarsAndTheLineAndKeepApart) {
  struct Day {
    const char* legend;
    double kmh;
    double lowMetres;
    double climbMetres;
    int seconds;
    int width;
  };
  const Day days[] = {
      {"an hour's drive in the hills", 72.0, 1377.0, 196.0, 3600, 800},
      {"a walk by the sea", 4.5, -3.0, 12.0, 5400, 800},
      {"two hours of a flight", 820.0, 200.0, 11000.0, 2 * 3600, 800},
      {"a narrow window", 36.0, 400.0, 80.0, 900, 300},
      {"a stroll on the flat", 1.2, 15.2, 0.6, 1800, 800},
  };
  for (const Day& day : days) {
    SCOPED_TRACE(day.legend);
    DayTrack track;
    const double metresPerSecond = day.kmh / 3.6;
    for (int second = 0; second <= day.seconds; second += 10) {
      track.AddTrackPoint(47.0 + second * metresPerSecond / 111195.0, 8.0, 38620.4 + second / 86400.0, true,
                          day.lowMetres + day.climbMetres * second / day.seconds);
    }
    QImage image(day.width, TrackView::kProfileHeight, QImage::Format_RGB32);
    std::vector<QRect> labels;
    ProfileLayout layout;
    {
      QPainter painter(&image);
      PaintProfile(painter, image.rect(), track, QPalette(), &labels);
      layout = LayOutProfile(image.rect(), track, painter.fontMetrics());
    }
    const QRect plot = layout.plot;
    ASSERT_TRUE(layout.hasAltitude);
    EXPECT_LE(layout.lowAltitudeMetres, day.lowMetres);
    EXPECT_GE(layout.highAltitudeMetres, day.lowMetres + day.climbMetres);
    EXPECT_GE(layout.topSpeedKmh, day.kmh * 0.999);
    // Values are written whole, so a step of a fraction would repeat them.
    EXPECT_EQ(std::fmod(layout.speedStepKmh, 1.0), 0.0);
    EXPECT_EQ(std::fmod(layout.altitudeStepMetres, 1.0), 0.0);
    // Every label inside the picture, none on another; values on both
    // sides and times below.
    int left = 0;
    int right = 0;
    int below = 0;
    for (size_t i = 0; i < labels.size(); ++i) {
      EXPECT_TRUE(image.rect().contains(labels[i])) << i;
      for (size_t j = i + 1; j < labels.size(); ++j) EXPECT_FALSE(labels[i].intersects(labels[j])) << i << j;
      left += labels[i].right() < plot.left() ? 1 : 0;
      right += labels[i].left() > plot.right() ? 1 : 0;
      below += labels[i].top() > plot.bottom() ? 1 : 0;
    }
    EXPECT_GE(left, 2);
    EXPECT_GE(right, 2);
    EXPECT_GE(below, 2);
    // In the middle of the day: the bar's top and the line where the axes
    // put the speed and the altitude.
    const int x = plot.left() + plot.width() / 2;
    int barTop = -1;
    int lineAt = -1;
    for (int y = plot.top(); y <= plot.bottom(); ++y) {
      if (barTop < 0 && image.pixelColor(x, y) == kSpeedColour) barTop = y;
      if (lineAt < 0 && IsAltitudeLine(image.pixelColor(x, y))) lineAt = y;
    }
    const double speedY = plot.bottom() + 1 - day.kmh / layout.topSpeedKmh * plot.height();
    const double altitudeY = plot.bottom() + 1 -
                             (day.lowMetres + day.climbMetres / 2 - layout.lowAltitudeMetres) /
                                 (layout.highAltitudeMetres - layout.lowAltitudeMetres) * plot.height();
    EXPECT_NEAR(barTop, speedY, 2.0);
    EXPECT_NEAR(lineAt, altitudeY, 3.0);
  }
}

// Absurd values from a damaged file still give a picture, labels inside it
// and a tooltip, in bounded time and without undefined conversions.
TEST(TrackPainterTest, AbsurdValuesGiveADefinedProfile) {
  struct Day {
    const char* legend;
    double altitudes[3];
    double degreesApart;
  };
  const double nan = std::nan("");
  const Day days[] = {
      {"altitudes from one end of a double to the other", {-1e308, 0.0, 1e308}, 0.001},
      {"a huge altitude in tiny steps", {1e300, 1e300 + 1e285, 1e300}, 0.001},
      {"altitudes that are no numbers", {nan, nan, 400.0}, 0.001},
      {"half the earth in a second", {400.0, 410.0, 420.0}, 90.0},
  };
  for (const Day& day : days) {
    SCOPED_TRACE(day.legend);
    DayTrack track;
    for (int i = 0; i < 3; ++i)
      track.AddTrackPoint(0.0, i * day.degreesApart, 38620.5 + i / 86400.0, true, day.altitudes[i]);
    QImage image(500, TrackView::kProfileHeight, QImage::Format_RGB32);
    std::vector<QRect> labels;
    {
      QPainter painter(&image);
      PaintProfile(painter, image.rect(), track, QPalette(), &labels);
      for (int x = 0; x < image.width(); x += 7)
        ProfileToolTip(image.rect(), track, painter.fontMetrics(), x);
    }
    for (const QRect& label : labels) EXPECT_TRUE(image.rect().contains(label));
  }
}

}  // namespace
}  // namespace pathmere
