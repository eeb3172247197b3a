#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace pathmere {

// Where a second window goes beside `anchor` (a window's frame) on a screen
// whose free part is `available`: `wanted` (the client size) shrunk to what
// fits with `frame` (the margins the window manager adds), then right of
// the anchor, else left of it, else narrower beside it on the side with more
// room, down to `least` (no narrower than wanted when empty), else where it
// covers the least of it, and always whole on the screen. The client
// rectangle is returned.
QRect PlaceBeside(const QRect& anchor, QSize wanted, const QMargins& frame, const QRect& available,
                  QSize least = QSize());

// Gives `window` (not shown yet) its place beside `anchor` on the anchor's
// screen, `wanted` at most; the frame is taken to be the anchor's.
void PlaceWindowBeside(QWidget& window, const QWidget& anchor, QSize wanted);

}  // namespace pathmere
