#pragma once

namespace pathmere {

// The desktop program from start to end: the single-instance check and
// forwarding before any window, then the window and its event loop.
// Returns the exit code.
int RunDesktopProgram(int argc, char** argv);

// Names the running application as the menu entry (pathmere.desktop) and the
// window system know it, and gives it its icon.
void SetApplicationIdentity();

}  // namespace pathmere
