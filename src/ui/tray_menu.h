#pragma once

class QMenu;

namespace pathmere {

class MainWindow;

// The tray icon's right-click menu: "Show" brings the window back, "Wpt"
// and "Flush" do what the panel's buttons do, "Exit" what the Tools menu's
// Exit does. Owned by `window`.
QMenu* MakeTrayMenu(MainWindow& window);

}  // namespace pathmere
