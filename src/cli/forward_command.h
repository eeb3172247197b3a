#pragma once

namespace pathmere {

// A command line without a subcommand: a second start that forwards its code
// to the running instance (desktop or headless) and waits until it was
// handled. 0 when delivered (or nothing to send), 1 when no instance runs.
int RunForwardCommand(int argc, char** argv);

}  // namespace pathmere
