#include "ui/window_placement.h"

#include <algorithm>

#include <QScreen>
#include <QWidget>

namespace pathmere {

QRect PlaceBeside(const QRect& anchor, QSize wanted, const QMargins& frame, const QRect& available,
                  QSize least) {
  const int frameWidth = frame.left() + frame.right();
  const int frameHeight = frame.top() + frame.bottom();
  int width = std::max(1, std::min(wanted.width() + frameWidth, available.width()));
  const int height = std::max(1, std::min(wanted.height() + frameHeight, available.height()));
  // Candidates for the frame's left edge, best first.
  const int right = anchor.right() + 1;
  const int left = anchor.left() - width;
  const int roomRight = available.right() + 1 - right;
  const int roomLeft = anchor.left() - available.left();
  const int room = std::max(roomRight, roomLeft);
  const int leastWidth =
      (least.isValid() ? std::min(least.width(), wanted.width()) : wanted.width()) + frameWidth;
  int x = 0;
  if (right + width <= available.right() + 1) {
    x = right;
  } else if (left >= available.left()) {
    x = left;
  } else if (room >= leastWidth) {
    // Narrower, but nothing of the anchor covered.
    width = room;
    x = roomRight >= roomLeft ? right : available.left();
  } else {
    // Neither side has room: the side with more of it, pushed onto the screen.
    x = roomRight >= roomLeft ? available.right() + 1 - width : available.left();
  }
  x = std::clamp(x, available.left(), available.right() + 1 - width);
  const int y = std::clamp(anchor.top(), available.top(), available.bottom() + 1 - height);
  return QRect(x, y, width, height).marginsRemoved(frame);
}

void PlaceWindowBeside(QWidget& window, const QWidget& anchor, QSize wanted) {
  const QScreen* screen = anchor.screen();
  if (screen == nullptr) return;
  const QRect frame = anchor.frameGeometry();
  const QRect client = anchor.geometry();
  const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                         frame.right() - client.right(), frame.bottom() - client.bottom());
  // Smaller than its layout allows, the window would be made larger again.
  const QSize least = window.minimumSizeHint().expandedTo(window.minimumSize());
  const QRect placed = PlaceBeside(frame, wanted, margins, screen->availableGeometry(), least);
  window.setGeometry(QRect(placed.topLeft(), placed.size().expandedTo(least)));
}

}  // namespace pathmere
