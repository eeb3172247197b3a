#pragma once

class QAction;
class QMainWindow;
class QMenu;

namespace pathmere {

// Alt+T and F10 open `menu` from the menu bar, so the Tools menu is reached
// without the mouse though its title stays as it is.
void AddMenuKeys(QMainWindow& window, QMenu& menu);

// An "Exit" entry shows Ctrl+Q, the key that leaves the program from the
// main window. The key stays the window's own way out, which asks nothing
// and saves no settings: the entry only shows it, and never competes with
// it for the key.
void ShowQuitKey(QAction& exit);

}  // namespace pathmere
