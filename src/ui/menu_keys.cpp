#include "ui/menu_keys.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

namespace pathmere {

void AddMenuKeys(QMainWindow& window, QMenu& menu) {
  for (QKeyCombination key : {QKeyCombination(Qt::AltModifier, Qt::Key_T), QKeyCombination(Qt::Key_F10)}) {
    auto* shortcut = new QShortcut(QKeySequence(key), &window);
    QObject::connect(shortcut, &QShortcut::activated, &window,
                     [&window, &menu] { window.menuBar()->setActiveAction(menu.menuAction()); });
  }
}

void ShowQuitKey(QAction& exit) {
  exit.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  // A menu entry's widget shortcut is never live (the menu bar or the tray
  // menu never holds the focus), so Ctrl+Q keeps reaching the window's own
  // action; the menu still writes the key beside the entry, also in the
  // tray's context menu.
  exit.setShortcutContext(Qt::WidgetShortcut);
  exit.setShortcutVisibleInContextMenu(true);
}

}  // namespace pathmere
