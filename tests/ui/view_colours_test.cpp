#include "ui/view_colours.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <QImage>
#include <QPalette>

#include "desktop_fixture.h"
#include "support/generated_day.h"
#include "ui/track_map.h"
#include "ui/track_painter.h"
#include "ui/track_view.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;

class ViewColoursTest : public testing::DesktopTest {};

// A dark palette darkens the map and the profile, and their text is light
// on it; a light one keeps the paper-white map and dark text.
TEST_F(ViewColoursTest, MapAndProfileFollowALightOrADarkPalette) {
  auto window = WindowOnDriveWithStop();
  TrackView& view = *window->trackView();
  QPalette dark(QColor(53, 53, 53), QColor(53, 53, 53));
  dark.setColor(QPalette::Base, QColor(35, 35, 35));
  dark.setColor(QPalette::Text, Qt::white);
  dark.setColor(QPalette::WindowText, Qt::white);
  struct Row {
    const char* legend;
    QPalette palette;
    bool dark;
  };
  const Row rows[] = {{"light", QPalette(), false}, {"dark", dark, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    view.setPalette(row.palette);
    const ViewColours colours = ViewColoursFor(row.palette);
    EXPECT_EQ(IsDarkPalette(row.palette), row.dark);
    EXPECT_EQ(colours.mapBackground.lightness() < 128, row.dark);
    // Text stands apart from its background either way.
    EXPECT_GT(std::abs(colours.text.lightness() - colours.mapBackground.lightness()), 150);
    auto count = [&](const QImage& image, const QRect& part, const QColor& colour) {
      int found = 0;
      for (int y = part.top(); y <= part.bottom(); ++y) {
        for (int x = part.left(); x <= part.right(); ++x) found += image.pixelColor(x, y) == colour ? 1 : 0;
      }
      return found;
    };
    const QImage map = view.map()->grab().toImage();
    // The east edge is plain map: the day drives north.
    EXPECT_EQ(map.pixelColor(map.width() - 3, map.height() / 2), colours.mapBackground);
    const QRect facts(0, 0, map.width(), FactsBandHeight(view.map()->font()));
    EXPECT_GT(count(map, facts, colours.text), 10) << "the facts in the text colour";
    EXPECT_GT(count(map, map.rect(), colours.track), 10);

    QWidget* profile = view.findChild<QWidget*>("trackProfile");
    ASSERT_NE(profile, nullptr);
    const QImage drawn = profile->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(1, 1), colours.profileBackground);
    EXPECT_EQ(colours.profileBackground.lightness() < 128, row.dark);
    EXPECT_GT(count(drawn, drawn.rect(), colours.text), 10) << "values and key in the text colour";
    EXPECT_GT(count(drawn, drawn.rect(), colours.speed), 10);
  }
}

}  // namespace
}  // namespace pathmere
