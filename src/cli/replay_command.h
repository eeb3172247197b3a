#pragma once

#include "cli/command_line.h"

namespace pathmere {

// pathmere-cli replay FILE... --output DIR [--status] [--gps-only]
// Returns the exit status: 0, 1 when a FILE could not be opened, 2 when the
// output folder cannot be made.
int RunReplayCommand(const ReplayArguments& args);

}  // namespace pathmere
