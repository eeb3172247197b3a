#pragma once

namespace pathmere {

// pathmere-cli replay FILE... --output DIR [--status]
// Returns the exit status: 0, 1 when a FILE could not be opened, 2 for
// unusable arguments.
int RunReplayCommand(int argc, char** argv);

}  // namespace pathmere
