#pragma once

class QMainWindow;
class QMenu;

namespace pathmere {

// Alt+T and F10 open `menu` from the menu bar, so the Tools menu is reached
// without the mouse though its title stays as it is.
void AddMenuKeys(QMainWindow& window, QMenu& menu);

}  // namespace pathmere
