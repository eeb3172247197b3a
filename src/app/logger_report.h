#pragma once

#include <string>
#include <string_view>

#include "app/program.h"

namespace pathmere {

// What the logger tells about its files beyond the message log: for a
// journal, at shut-down, for `pathmere-cli status`.

// "2026-12-06.plt": the name of a day file without its folder.
std::string DayFileName(const DayFile& file);

// "cannot write 2026-12-06.plt: No space left on device, 12 lines kept in
// memory": the last failed write of `file`, with what is still pending.
std::string DescribeWriteFailure(const DayFile& file, std::string_view pending);
// The same with the count of lines kept (the area's and the spill queue's).
std::string DescribeWriteFailure(const DayFile& file, size_t keptLines);

// "2026-12-05.nmea 1200 lines, ...": the lines each writer dropped beyond
// what its spill queue keeps; empty when none were.
std::string DescribeDropped(const Program& program);

// The writers' lines still in memory after a failed flush (the GPX file's
// and the waypoints' too), file by file with the reason; empty when nothing
// is left.
std::string DescribeUnwritten(const Program& program);

}  // namespace pathmere
