#pragma once

#include <cstdio>

#include "cli/command_line.h"

namespace pathmere {

// pathmere-cli gpx [--output DIR] [--mend] PATH...
// Without --mend: each day named by the .plt, .rte and .wpt files given
// (a folder gives all of its days) becomes one GPX document, DIR/<day>.gpx
// (by default beside the day's files); a day that has a .gpx already is left
// alone. A line that is not a point is told with its file and line number
// and passed over. With --mend: each .gpx given (or in a folder given) is
// mended as the logger mends it at a start, or renamed aside as .broken-N.
// What was done goes to `out`, problems to `err`. Exit status 0, or 1 when
// a file could not be read or written or a GPX file had to be put aside.
int RunGpxCommand(const GpxArguments& args, FILE* out, FILE* err);

}  // namespace pathmere
