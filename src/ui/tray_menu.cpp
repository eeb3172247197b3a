#include "ui/tray_menu.h"

#include <QMenu>
#include <QPushButton>

#include "ui/main_window.h"
#include "ui/menu_keys.h"

namespace pathmere {

QMenu* MakeTrayMenu(MainWindow& window) {
  auto* menu = new QMenu(&window);
  menu->setObjectName(QStringLiteral("trayMenu"));
  QObject::connect(menu->addAction(QStringLiteral("Show")), &QAction::triggered, &window,
                   [&window] { window.Restore(); });
  // The panel is made anew when the window changes its shape: the buttons
  // are looked up when chosen.
  QObject::connect(menu->addAction(QStringLiteral("Wpt")), &QAction::triggered, &window,
                   [&window] { window.panel()->wptButton()->click(); });
  QObject::connect(menu->addAction(QStringLiteral("Flush")), &QAction::triggered, &window,
                   [&window] { window.panel()->flushButton()->click(); });
  menu->addSeparator();
  QAction* exit = menu->addAction(QStringLiteral("Exit"));
  ShowQuitKey(*exit);
  QObject::connect(exit, &QAction::triggered, &window, [&window] { window.action(kCommandExit)->trigger(); });
  return menu;
}

}  // namespace pathmere
