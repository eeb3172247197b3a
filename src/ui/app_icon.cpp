#include "ui/app_icon.h"

#include <QColor>
#include <QPainter>
#include <QPixmap>

// The resources are compiled into a static library, whose initialiser the
// linker keeps only when something calls it.
static void InitPathmereResources() { Q_INIT_RESOURCE(pathmere); }

namespace pathmere {

void LoadResources() {
  static const bool loaded = (InitPathmereResources(), true);
  (void)loaded;
}

QIcon AppIcon() {
  LoadResources();
  QIcon icon;
  for (const char* file :
       {":/icons/pathmere-32.png", ":/icons/pathmere-64.png", ":/icons/pathmere-256.png"}) {
    icon.addFile(QString::fromLatin1(file));
  }
  return icon;
}

QIcon TrayIcon(Reception reception) {
  QColor colour;
  switch (reception) {
    case Reception::kFix:
      colour = QColor(0x2e, 0x9d, 0x3a);
      break;
    case Reception::kNoFix:
      colour = QColor(0xe0, 0xa0, 0x00);
      break;
    case Reception::kNoData:
      colour = QColor(0x8a, 0x8a, 0x8a);
      break;
    case Reception::kPortError:
      colour = QColor(0xd0, 0x30, 0x30);
      break;
  }
  const QIcon base = AppIcon();
  QIcon icon;
  // The sizes trays ask for; the dot is large enough to tell at 16 pixels.
  for (const int size : {16, 22, 24, 32, 48, 64}) {
    QPixmap pixmap = base.pixmap(size, size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal dot = size * 0.5;
    painter.setPen(QPen(Qt::white, qMax(1.0, size / 16.0)));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(size - dot - 0.5, size - dot - 0.5, dot, dot));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace pathmere
