#include "ui/tray_menu.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>

#include "ui/main_window.h"
#include "ui/menu_keys.h"

namespace pathmere {
namespace {

// While the menu is open, Ctrl+Q is the key it shows beside Exit: Exit's
// question, not the window's way out without one.
class QuitKeyAsExit final : public QObject {
 public:
  QuitKeyAsExit(QMenu& menu, QAction& exit) : QObject(&menu), menu_(menu), exit_(exit) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) return false;
    if (static_cast<QKeyEvent*>(event)->keyCombination() != QKeyCombination(Qt::ControlModifier, Qt::Key_Q))
      return QObject::eventFilter(watched, event);
    // Taken here, so the window's own Ctrl+Q does not fire.
    event->accept();
    if (event->type() == QEvent::KeyPress) {
      menu_.close();
      // Once the menu is gone: Exit asks in a dialog of its own.
      QMetaObject::invokeMethod(&exit_, &QAction::trigger, Qt::QueuedConnection);
    }
    return true;
  }

 private:
  QMenu& menu_;
  QAction& exit_;
};

}  // namespace

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
  menu->installEventFilter(new QuitKeyAsExit(*menu, *exit));
  return menu;
}

}  // namespace pathmere
