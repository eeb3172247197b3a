#include "ui/window_placement.h"

#include <gtest/gtest.h>

namespace pathmere {
namespace {

// A window placed beside another on a 1920x1040 screen (a panel below),
// with a frame of 1 pixel and a 30-pixel title bar.
TEST(WindowPlacementTest, BesideTheAnchorAndWholeOnTheScreen) {
  const QRect screen(0, 0, 1920, 1040);
  const QMargins frame(1, 30, 1, 1);
  struct Row {
    const char* legend;
    QRect anchor;
    QSize wanted;
    QRect screen;
    QRect expected;  // the client rectangle
    QSize least = QSize();
  };
  const Row rows[] = {
      {"room on the right", QRect(100, 100, 500, 400), QSize(800, 640), screen, QRect(601, 130, 800, 640)},
      {"room on the left only", QRect(1300, 50, 500, 400), QSize(800, 640), screen, QRect(499, 80, 800, 640)},
      {"no room: the wider side, pushed in", QRect(700, 100, 500, 400), QSize(800, 640), screen,
       QRect(1119, 130, 800, 640)},
      {"no room at its width: narrower beside the wider side", QRect(700, 100, 500, 400), QSize(800, 640),
       screen, QRect(1201, 130, 718, 640), QSize(600, 400)},
      {"too narrow for its least: pushed in", QRect(700, 100, 500, 400), QSize(800, 640), screen,
       QRect(1119, 130, 800, 640), QSize(760, 400)},
      {"low anchor: moved up to fit", QRect(100, 900, 500, 100), QSize(800, 640), screen,
       QRect(601, 399, 800, 640)},
      // At a scale of 2 the same screen is 960x520 to the program.
      {"taller than the screen: shrunk to it", QRect(0, 0, 400, 300), QSize(800, 640), QRect(0, 0, 960, 520),
       QRect(159, 30, 800, 489)},
      {"a second screen to the right", QRect(2000, 100, 500, 400), QSize(800, 640),
       QRect(1920, 0, 1280, 1024), QRect(2399, 130, 800, 640)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    const QRect placed = PlaceBeside(row.anchor, row.wanted, frame, row.screen, row.least);
    EXPECT_EQ(placed, row.expected) << placed.x() << "," << placed.y() << " " << placed.width() << "x"
                                    << placed.height();
    EXPECT_TRUE(row.screen.contains(placed.marginsAdded(frame)));
  }
}

}  // namespace
}  // namespace pathmere
