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

}  // namespace pathmere
