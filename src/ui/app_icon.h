#pragma once

#include <QIcon>

#include "app/reception_watch.h"

namespace pathmere {

// Makes the compiled-in resources (the icon in three sizes) reachable; safe
// to call more than once.
void LoadResources();

// The program's icon: window, tray and About box.
QIcon AppIcon();

// The program's icon with a dot in the corner whose colour tells the state:
// green a fix, amber no fix, grey no data, red a port error.
QIcon TrayIcon(Reception reception);

}  // namespace pathmere
