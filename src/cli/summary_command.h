#pragma once

#include <cstdio>

#include "cli/command_line.h"

namespace pathmere {

// pathmere-cli summary [--output DIR] [--json] [DAY|FROM..TO]
// The day in numbers (distance, times, speeds, climb, stops) of each day
// asked for that has files in DIR (by default the saved output folder),
// read as the track view reads them, and their total when there are several.
// Without a day: the latest day with files. Text, or one JSON document with
// --json, to `out`; problems to `err`. Exit status 0, or 1 when the folder
// cannot be read or holds no day asked for.
int RunSummaryCommand(const SummaryArguments& args, FILE* out, FILE* err);

}  // namespace pathmere
