#include "ui/view_colours.h"

#include <QPalette>

#include <cmath>

#include "ui/track_painter.h"

namespace pathmere {
namespace {

// `from` moved by `share` (0 to 1) towards `to`, opaque, in whole 8-bit
// steps as the screen shows it.
QColor Blend(const QColor& from, const QColor& to, double share) {
  auto part = [share](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * share)); };
  return QColor(part(from.red(), to.red()), part(from.green(), to.green()), part(from.blue(), to.blue()));
}

}  // namespace

bool IsDarkPalette(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

ViewColours ViewColoursFor(const QPalette& palette) {
  ViewColours colours;
  const QColor base = palette.color(QPalette::Base);
  colours.text = palette.color(QPalette::Text);
  colours.profileBackground = base;
  colours.band = base;
  colours.band.setAlpha(210);
  colours.grid = Blend(base, colours.text, 0.18);
  if (IsDarkPalette(palette)) {
    colours.mapBackground = base;
    colours.track = kDarkTrackColour;
    colours.speed = kDarkSpeedColour;
    colours.altitude = kDarkAltitudeColour;
  } else {
    // A paper white, a shade off the window's, as printed maps have.
    colours.mapBackground = kMapBackground;
    colours.track = kTrackColour;
    colours.speed = kSpeedColour;
    colours.altitude = kAltitudeColour;
  }
  return colours;
}

}  // namespace pathmere
