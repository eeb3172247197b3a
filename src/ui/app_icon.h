#pragma once

#include <QIcon>

namespace pathmere {

// Makes the compiled-in resources (the icon in three sizes) reachable; safe
// to call more than once.
void LoadResources();

// The program's icon: window, tray and About box.
QIcon AppIcon();

}  // namespace pathmere
