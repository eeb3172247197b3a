#pragma once

#include <QColor>

class QPalette;

namespace pathmere {

// The track view's colours, from the palette of the widget it paints: on a
// dark desktop the map, the profile and their text are dark too, and the
// lines are lighter so that they still stand out.
struct ViewColours {
  QColor mapBackground;
  QColor profileBackground;
  QColor text;
  // Behind the facts line, so the track shows through a little.
  QColor band;
  // The profile's value lines, quieter than the text.
  QColor grid;
  QColor track;
  QColor speed;
  QColor altitude;
};

// A palette whose window is darker than mid grey is a dark one.
bool IsDarkPalette(const QPalette& palette);
ViewColours ViewColoursFor(const QPalette& palette);

}  // namespace pathmere
