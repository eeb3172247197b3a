#pragma once

#include "cli/command_line.h"

namespace pathmere {

// pathmere-cli collect: every vehicle's points from the broker into day
// files, until SIGINT or SIGTERM. Exit status 0, 1 when pending points could
// not be written at the end, 2 for an unusable address or folder.
int RunCollectCommand(const CollectArguments& args);

}  // namespace pathmere
